#include "flash/flash_name_decoder.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(FlashNameDecoderTest, DecodesGeometryAndChannelBankCharacters) {
    struct Case {
        const char* name;
        const char* text;
    };
    const Case cases[] = {
        {"SYS517OB0001",
         "Block Unit:2048\nBlock Page:128\nPage Size: 4K\nDie: 2\nDieoffset?: 1\nOnePlane?: 0\n"
         "Channel:   8\nBank:      2"},
        {"SYS5175R0001",
         "Block Unit:1024\nBlock Page:256\nPage Size: 16K\nDie: 2\nDieoffset?: 1\nOnePlane?: 1\n"
         "Channel:   3\nBank:      2"},
        {"SYS5174P0001",
         "Block Unit:512\nBlock Page:256\nPage Size: 16K\nDie: 1\nDieoffset?: 0\nOnePlane?: 1\n"
         "Channel:   1\nBank:      8"},
        // An unknown geometry character leaves only the channel lines.
        {"SYS517#G0001", "Channel:   4\nBank:      4"},
        {"SYS517AS0001",
         "Block Unit:1024\nBlock Page:128\nPage Size: 4K\nDie: 1\nDieoffset?: 0\nOnePlane?: 0"},
        {"SYS51", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecodeNameText(c.name), c.text);
    }
    EXPECT_EQ(DecodeName("SYS517#G0001").text, "Channel:   4\nBank:      4");
}

}  // namespace
}  // namespace kv
