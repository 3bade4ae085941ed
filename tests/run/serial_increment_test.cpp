#include "run/serial_increment.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kv {
namespace {

struct IncrementCase {
    const char* before;
    const char* hex;
    const char* decimal;
};

const IncrementCase kCases[] = {
    {"KV_0019", "KV_001A", "KV_0020"},
    {"12FF", "1300", "12F0"},
    {"FFFF", "0000", "FFF0"},
    {"AB-F", "AB00", "AB-0"},
    {"1f", "20", "10"},
    {"0099", "009A", "0100"},
    {"999", "99A", "000"},
    {"12A", "12B", "120"},
    {"00009", "0000A", "00010"},
    {"SN12Z", "SN120", "SN120"},
    {"ab9", "abA", "a00"},
    {"", "", ""},
    {"0E", "0F", "00"},
    {"12\n34", "13\n34", "13\n34"},  // the number ends at the line feed
};

class SerialIncrement : public ::testing::TestWithParam<IncrementCase> {};

TEST_P(SerialIncrement, HexAndDecimal) {
    const IncrementCase& c = GetParam();
    EXPECT_EQ(IncrementHexSerial(std::string(c.before)), c.hex);
    EXPECT_EQ(IncrementDecimalSerial(std::string(c.before)), c.decimal);

    char field[22] = {};
    std::strcpy(field, c.before);
    IncrementHexSerial(field, sizeof field);
    EXPECT_STREQ(field, c.hex);
    std::strcpy(field, c.before);
    IncrementDecimalSerial(field, sizeof field);
    EXPECT_STREQ(field, c.decimal);
}

INSTANTIATE_TEST_SUITE_P(Texts, SerialIncrement, ::testing::ValuesIn(kCases));

TEST(SerialIncrementBounds, AFieldWithoutTerminatorStaysInsideItsCapacity) {
    char memory[8] = {'1', '9', '9', '9', 'X', 'X', 'X', '\0'};
    IncrementDecimalSerial(memory, 4);
    EXPECT_EQ(std::string(memory, 8), std::string("2000XXX\0", 8));
    IncrementHexSerial(memory, 4);
    EXPECT_EQ(std::string(memory, 8), std::string("2001XXX\0", 8));
    IncrementHexSerial(nullptr, 4);  // nothing to do, no crash
}

}  // namespace
}  // namespace kv
