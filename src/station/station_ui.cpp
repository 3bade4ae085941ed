#include "station/station_ui.h"

namespace kv {

MessageAnswer SilentUi::ShowMessage(const std::string& text, const std::string& caption,
                                    MessageIcon icon, MessageButtons buttons) {
    lastText = text;
    lastCaption = caption;
    lastIcon = icon;
    ++messageCount;
    switch (buttons) {
        case MessageButtons::OkCancel:
        case MessageButtons::Ok:
            return MessageAnswer::Ok;
        case MessageButtons::YesNo:
            return MessageAnswer::Yes;
    }
    return MessageAnswer::Ok;
}

MessageIcon MessageIconOf(OperatorIcon icon) {
    switch (icon) {
        case OperatorIcon::Error:
            return MessageIcon::Error;
        case OperatorIcon::Warning:
            return MessageIcon::Warning;
        case OperatorIcon::Information:
            return MessageIcon::Information;
        case OperatorIcon::None:
            break;
    }
    return MessageIcon::None;
}

}  // namespace kv
