#include "station/title_form.h"

#include <algorithm>
#include <cstring>

#include "station/field_filters.h"

namespace kv {
namespace {

template <std::size_t N>
void CopyField(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

}  // namespace

std::string TitleSerialNumber(int variant, const TitleFields& f) {
    if (variant == 1)
        return f.workOrder + f.serial;
    if (variant != 2)
        return "";
    std::string text = f.edit1;
    if (!f.edit1.empty() && !f.edit2.empty())
        text += "-";
    text += f.edit2;
    if (!f.edit2.empty() && !f.edit3.empty())
        text += "-";
    text += f.edit3;
    return text;
}

std::optional<char> FilterTitleKey(char key) {
    if (key >= 'a' && key <= 'z')
        return static_cast<char>(key - 'a' + 'A');
    if (key == kKeyEnter || key == kKeyBackspace || (key >= '0' && key <= '9') ||
        (key >= 'A' && key <= 'Z'))
        return key;
    return std::nullopt;
}

std::size_t TitleFieldLimit(int index) {
    return index == 2 ? 4 : 7;
}

void ApplyTitleResult(const std::string& serial, bool autoIncrease, SettingsBlock& settings) {
    if (!serial.empty())
        CopyField(settings.SerialNum, serial);
    settings.SNAutoInc = autoIncrease ? 1 : 0;
}

std::optional<OperatorMessage> WorkorderStartClick(const std::string& workOrder,
                                                   const std::string& partNumber,
                                                   const std::string& weekCode, AP_GOLBAL& ap) {
    if (workOrder.empty() || partNumber.empty() || weekCode.empty())
        return OperatorMessage{kWorkOrderInputError, kMessageCaption, OperatorIcon::None};
    CopyField(ap.WorkOrder, workOrder);
    CopyField(ap.PartNumber, partNumber);
    CopyField(ap.WeekCode, weekCode);
    return std::nullopt;
}

}  // namespace kv
