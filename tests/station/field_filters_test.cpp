#include "station/field_filters.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kv {
namespace {

constexpr char kDrop = 0;  // in the table: the key is dropped

struct KeyCase {
    DeviceField field;
    bool snDecimal;
    char key;
    char taken;
};

const KeyCase kKeys[] = {
    {DeviceField::VendorId, false, 'g', kDrop},
    {DeviceField::VendorId, false, 'c', 'C'},
    {DeviceField::VendorId, false, 'F', 'F'},
    {DeviceField::VendorId, false, '7', '7'},
    {DeviceField::VendorId, false, ' ', kDrop},
    {DeviceField::ProductId, false, kKeyBackspace, kKeyBackspace},
    {DeviceField::ProductId, false, kKeyEnter, kKeyEnter},
    {DeviceField::ProductId, false, '\x03', '\x03'},  // other control keys pass
    {DeviceField::SerialNumber, false, 'a', 'A'},
    {DeviceField::SerialNumber, true, 'a', kDrop},
    {DeviceField::SerialNumber, true, '5', '5'},
    {DeviceField::SerialNumber, true, '\x03', kDrop},
    {DeviceField::ModelNumber, false, '\\', kDrop},
    {DeviceField::ModelNumber, false, 'z', 'z'},
    {DeviceField::VendorName, false, '\\', kDrop},
    {DeviceField::ProductName, false, '/', '/'},
    {DeviceField::FirmwareVersion, false, '\\', '\\'},
    {DeviceField::MaxLba, false, kKeyEnter, kKeyEnter},
    {DeviceField::MaxTemperature, false, '-', kDrop},
    {DeviceField::IdemaCapacityInteger, false, '9', '9'},
    {DeviceField::IdemaCapacityOption, false, kKeyEnter, kDrop},
    {DeviceField::IdemaCapacityOption, false, kKeyBackspace, kKeyBackspace},
};

TEST(FieldFilters, KeysPerField) {
    for (const KeyCase& c : kKeys) {
        const std::optional<char> taken = FilterFieldKey(c.field, c.key, c.snDecimal);
        if (c.taken == kDrop) {
            EXPECT_FALSE(taken) << static_cast<int>(c.field) << " key " << int{c.key};
        } else {
            ASSERT_TRUE(taken) << static_cast<int>(c.field) << " key " << int{c.key};
            EXPECT_EQ(*taken, c.taken);
        }
    }
}

struct LimitCase {
    DeviceField field;
    std::size_t length;  // of the typed text
    std::size_t kept;
};

const LimitCase kLimits[] = {
    {DeviceField::VendorId, 5, 4},        {DeviceField::ProductId, 4, 4},
    {DeviceField::SerialNumber, 21, 20},  {DeviceField::ModelNumber, 41, 40},
    {DeviceField::FirmwareVersion, 9, 8}, {DeviceField::ManufacturerString, 17, 16},
    {DeviceField::VendorName, 9, 8},      {DeviceField::ProductString, 25, 24},
    {DeviceField::ProductString, 24, 24}, {DeviceField::MaxLba, 30, 30},
};

TEST(FieldFilters, LengthLimitsCutAndPlaceTheCaret) {
    for (const LimitCase& c : kLimits) {
        std::string text(c.length, '1');
        std::size_t caret = c.length;
        const bool cut = LimitFieldText(c.field, text, caret);
        EXPECT_EQ(text.size(), c.kept) << static_cast<int>(c.field);
        EXPECT_EQ(cut, c.kept < c.length);
        EXPECT_EQ(caret, cut ? c.kept - 1 : c.length);
    }
}

}  // namespace
}  // namespace kv
