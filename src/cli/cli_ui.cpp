#include "cli/cli_ui.h"

#include <cstdio>

namespace kv::cli {

MessageAnswer CliUi::ShowMessage(const std::string& text, const std::string& caption,
                                 MessageIcon /*icon*/, MessageButtons buttons) {
    ++messageCount_;
    std::string body = text;
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r'))
        body.pop_back();
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), body.c_str());
    std::fflush(stderr);
    // Nobody answers a message box on the command line: the default button counts.
    return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
}

}  // namespace kv::cli
