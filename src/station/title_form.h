// The two forms asked once around program start: the Title form ("Serial
// Number Information"), whose result becomes the first serial number, and the
// Work Order form, whose texts go into the log rows and the window caption.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "config/settings_block.h"
#include "flash/operator_message.h"
#include "run/global_state.h"

namespace kv {

// What the Title form's fields hold: "W/O" and "S/N" (variant 1), or the three
// fields joined by "-" (variant 2).
struct TitleFields {
    std::string workOrder;
    std::string serial;
    std::string edit1;
    std::string edit2;
    std::string edit3;
};

// "OK" of the Title form for "ShowTitle" = `variant`: variant 1 gives W/O then
// S/N; variant 2 the three fields with "-" only between two non-empty ones;
// any other variant an empty text.
std::string TitleSerialNumber(int variant, const TitleFields& fields);

// The keys of the variant-2 fields: Enter, Backspace, digits and letters pass,
// lower-case letters become upper case, everything else is dropped.
std::optional<char> FilterTitleKey(char key);

// The length the variant-2 field `index` (1, 2 or 3) is cut to: 7, 4, 7.
std::size_t TitleFieldLimit(int index);

// Applies a Title form closed with OK: a non-empty result replaces "SerialNum"
// (cut to the 21 characters the setting holds), the auto-increase choice
// replaces "SNAutoInc" in every case.
void ApplyTitleResult(const std::string& serial, bool autoIncrease, SettingsBlock& settings);

inline constexpr char kWorkOrderInputError[] = "Input error";

// "Start" of the Work Order form: with all three texts non-empty they become
// the work order, part number and week code (cut to their fields) and nothing
// is returned; otherwise "Input error" and nothing is stored.
std::optional<OperatorMessage> WorkorderStartClick(const std::string& workOrder,
                                                   const std::string& partNumber,
                                                   const std::string& weekCode, AP_GOLBAL& ap);

}  // namespace kv
