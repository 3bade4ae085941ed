#include "station/field_filters.h"

namespace kv {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsPrintable(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 0x20 && u != 0x7F;
}

}  // namespace

std::optional<char> FilterHexKey(char key) {
    if (key >= 'a' && key <= 'f')
        return static_cast<char>(key - 'a' + 'A');
    if (key == kKeyEnter || key == kKeyBackspace || IsDigit(key) || (key >= 'A' && key <= 'F'))
        return key;
    if (IsPrintable(key))
        return std::nullopt;
    return key;
}

std::optional<char> FilterDecimalKey(char key) {
    if (key == kKeyEnter || key == kKeyBackspace || IsDigit(key))
        return key;
    return std::nullopt;
}

std::optional<char> FilterNoBackslashKey(char key) {
    if (key == '\\')
        return std::nullopt;
    return key;
}

std::optional<char> FilterDigitKey(char key) {
    if (key == kKeyBackspace || IsDigit(key))
        return key;
    return std::nullopt;
}

std::optional<char> FilterFieldKey(DeviceField field, char key, bool snDecimal) {
    switch (field) {
        case DeviceField::VendorId:
        case DeviceField::ProductId:
            return FilterHexKey(key);
        case DeviceField::SerialNumber:
            return snDecimal ? FilterDecimalKey(key) : FilterHexKey(key);
        case DeviceField::ModelNumber:
        case DeviceField::VendorName:
        case DeviceField::ProductName:
            return FilterNoBackslashKey(key);
        case DeviceField::MaxTemperature:
        case DeviceField::MaxLba:
        case DeviceField::IdemaCapacityInteger:
            return FilterDecimalKey(key);
        case DeviceField::IdemaCapacityOption:
            return FilterDigitKey(key);
        case DeviceField::FirmwareVersion:
        case DeviceField::ManufacturerString:
        case DeviceField::ProductString:
            return key;
    }
    return key;
}

std::size_t FieldLengthLimit(DeviceField field) {
    switch (field) {
        case DeviceField::VendorId:
        case DeviceField::ProductId:
            return 4;
        case DeviceField::SerialNumber:
            return 20;
        case DeviceField::ModelNumber:
            return 40;
        case DeviceField::FirmwareVersion:
            return 8;
        case DeviceField::ManufacturerString:
            return 16;
        case DeviceField::VendorName:
            return 8;  // the field's own maximum, below the 16 of the change rule
        case DeviceField::ProductName:
            return 16;
        case DeviceField::ProductString:
            return 24;
        case DeviceField::MaxTemperature:
        case DeviceField::MaxLba:
        case DeviceField::IdemaCapacityInteger:
        case DeviceField::IdemaCapacityOption:
            return 0;
    }
    return 0;
}

bool LimitFieldText(DeviceField field, std::string& text, std::size_t& caret) {
    const std::size_t limit = FieldLengthLimit(field);
    if (limit == 0 || text.size() <= limit)
        return false;
    text.resize(limit);
    caret = limit - 1;
    return true;
}

}  // namespace kv
