// The key filters and length limits of the "Device Setting" fields and the
// numeric edits, as rules both front ends apply to what the operator types.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace kv {

inline constexpr char kKeyEnter = '\r';
inline constexpr char kKeyBackspace = '\b';

enum class DeviceField {
    VendorId,              // "VID (4) "
    ProductId,             // "PID (4) "
    SerialNumber,          // "Serial Number (12-20) "
    ModelNumber,           // "Model Number (40)"
    FirmwareVersion,       // "Firmware Version (8) "
    ManufacturerString,    // "Manufactur String (16)"
    VendorName,            // "Vendor Name(8)"
    ProductName,           // "Product Name (16)"
    ProductString,         // "Product String (24)"
    MaxTemperature,        // "Max temperature value"
    MaxLba,                // "Max LBA value"
    IdemaCapacityInteger,  // "IDEMA Capacity(GB)(Integer)"
    IdemaCapacityOption,   // "IDEMA Capacity(GB)" of the option page
};

// Enter, Backspace, 0-9 and A-F pass, a-f become A-F; other printable
// characters are dropped, other control keys pass.
std::optional<char> FilterHexKey(char key);
// Only Enter, Backspace and 0-9 pass.
std::optional<char> FilterDecimalKey(char key);
// Everything but the backslash passes.
std::optional<char> FilterNoBackslashKey(char key);
// Only Backspace and 0-9 pass.
std::optional<char> FilterDigitKey(char key);

// The key as `field` takes it, or nothing when it is dropped. The serial number
// takes digits only when `snDecimal` ("SNDecimal") is on, else hexadecimal.
std::optional<char> FilterFieldKey(DeviceField field, char key, bool snDecimal);

// The most characters the field keeps; 0 for no limit of its own.
std::size_t FieldLengthLimit(DeviceField field);

// Applies the field's limit after a change: a longer text is cut and the caret
// placed before its last character. True when the text was cut.
bool LimitFieldText(DeviceField field, std::string& text, std::size_t& caret);

}  // namespace kv
