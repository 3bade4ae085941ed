#include "firmware/identify_patch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "firmware/firmware_test_support.h"
#include "platform/platform.h"

namespace kv {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes At(const Bytes& page, std::size_t offset, std::size_t n) {
    return Bytes(page.begin() + static_cast<std::ptrdiff_t>(offset),
                 page.begin() + static_cast<std::ptrdiff_t>(offset + n));
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// Keeps what reaches the debugger channel.
class DebuggerRecorder : public platform::Platform {
  public:
    platform::Clock& clock() override { return platform::HostPlatform().clock(); }
    platform::LocalTime Now() override { return {}; }
    void DebuggerOutput(const char* text) override { lines.emplace_back(text); }
    std::string ExecutableFolder() override { return "/"; }
    bool IsOnNetworkDrive(const std::string&) override { return false; }
    bool IsCapsLockOn() override { return false; }
    void ToggleCapsLock() override {}
    std::vector<std::string> lines;
};

class IdentifyPatchTest : public ::testing::Test {
  protected:
    IdentifyPatchTest() : settings_(test::SettingsWith(4, 2)) {
        std::strcpy(settings_.block.OUI, "ABCDEF");
        Rebuild();
        platform::SetCurrent(&debugger_);
    }
    ~IdentifyPatchTest() override { platform::SetCurrent(nullptr); }
    void Rebuild() { flash_ = test::MakeConfig(test::kToggleMlc, settings_); }

    Bytes Patch(const std::string& serial, const std::string& wwn, std::uint8_t speed = 0x0E) {
        Bytes page(8192, 0xCC);
        const ImageContext ctx{flash_, settings_.block, settings_.process};
        PatchIdentifyData(ctx, page, serial, wwn, speed);
        return page;
    }
    void Mark(int word, const char* entry) {
        std::strncpy(settings_.process.IdentifyData[word], entry, 6);
    }

    config::Settings settings_;
    FlashConfig flash_;
    DebuggerRecorder debugger_;
};

TEST_F(IdentifyPatchTest, TextsInAtaStringOrder) {
    const Bytes page = Patch("AB1234", "123456789");
    EXPECT_EQ(At(page, 0x060, 20), Text("BA2143              "));
    // "FirmwareVer" 12345678 and "ModelNum" Korvane KVR5XX SSD by default.
    EXPECT_EQ(At(page, 0x07A, 8), Text("21436587"));
    EXPECT_EQ(At(page, 0x082, 40), Text("oKvrna eVK5RXXS DS                      "));
    EXPECT_EQ(page[0x05F], 0xCC);
    EXPECT_EQ(page[0x0AA], 0xCC);

    // An odd length leaves its last character's partner blank; long texts are cut.
    EXPECT_EQ(At(Patch("ABC", ""), 0x060, 4), Text("BA C"));
    EXPECT_EQ(At(Patch("0123456789ABCDEFGHIJKLMN", ""), 0x060, 20), Text("1032547698BADCFEHGJI"));
    EXPECT_EQ(AtaStringText(page.data() + 0x07A, 8), "12345678");
}

TEST_F(IdentifyPatchTest, WorldWideNameFromUidOrFromWwnText) {
    const Bytes expected = {0xBC, 0x5A, 0xF1, 0xDE, 0x45, 0x23, 0x89, 0x67};
    EXPECT_EQ(At(Patch("", "123456789"), 0x124, 8), expected);
    EXPECT_EQ(At(Patch("", "5ABCDEF123456789"), 0x124, 8), expected);
    EXPECT_EQ(At(Patch("", "5abcdef123456789"), 0x124, 8), expected);
    // A shorter text counts its missing digits as 0.
    EXPECT_EQ(At(Patch("", "5ABC"), 0x124, 8), (Bytes{0xBC, 0x5A, 0, 0, 0, 0, 0, 0}));
    // Other characters: (c - 48) keeps its low four bits ('G' = 71 gives 7).
    std::uint8_t bytes[8];
    BuildWwnBytes("GGGGGGGGGGGGGGGG", "000000", bytes);
    EXPECT_EQ(Bytes(bytes, bytes + 8), Bytes(8, 0x77));
}

TEST_F(IdentifyPatchTest, OperatorDefinedWords) {
    Mark(82, "Z1234");
    Mark(83, "X1234");
    Mark(10, "Z4142");   // the first two serial characters
    Mark(108, "Z9999");  // part of the WWN
    Mark(76, "ZABCD");   // only the high byte survives the SATA byte
    Mark(0, "Z00FF");
    const Bytes page = Patch("SERIAL", "123456789");
    EXPECT_EQ(At(page, 0x0F0, 2), (Bytes{0x34, 0x12}));
    EXPECT_EQ(At(page, 0x0F2, 2), (Bytes{0xCC, 0xCC}));
    EXPECT_EQ(At(page, 0x060, 6), (Bytes{0x42, 0x41, 'I', 'R', 'L', 'A'}));
    EXPECT_EQ(At(page, 0x124, 4), (Bytes{0x99, 0x99, 0xF1, 0xDE}));
    EXPECT_EQ(At(page, 0x0E4, 2), (Bytes{0x0E, 0xAB}));
    EXPECT_EQ(At(page, 0x04C, 2), (Bytes{0xFF, 0x00}));
}

TEST_F(IdentifyPatchTest, Udma5CableBit) {
    Mark(93, "Z1234");
    EXPECT_EQ(At(Patch("", ""), 0x106, 2), (Bytes{0x34, 0x12}));
    settings_.process.IDE_UDMA5 = 1;
    EXPECT_EQ(At(Patch("", ""), 0x106, 2), (Bytes{0x34, 0x20}));
    Mark(93, "X0000");
    EXPECT_EQ(At(Patch("", ""), 0x106, 2), (Bytes{0xCC, 0x20}));
}

TEST_F(IdentifyPatchTest, SataSpeedLimitAndItsLogLines) {
    struct Case {
        std::uint8_t limit;
        std::uint8_t speed;
        std::uint8_t written;
        const char* log;
    };
    const Case cases[] = {
        {2, 0x0E, 0x06, "######### - New SATA speed - 0x06\r\n"},
        {0, 0x0E, 0x0E, "######### - Original SATA speed - 0x0E\r\n"},
        {1, 0xF0, 0xF2, "######### - New SATA speed - 0xF2\r\n"},
        {3, 0x32, 0x3E, "######### - New SATA speed - 0x3E\r\n"},
        {0, 0x06, 0x06, "######### - Original SATA speed - 0x06\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log);
        settings_.block.LimitSATASpeed = c.limit;
        debugger_.lines.clear();
        EXPECT_EQ(Patch("", "", c.speed)[0x0E4], c.written);
        ASSERT_EQ(debugger_.lines.size(), 1u);
        EXPECT_EQ(debugger_.lines[0], c.log);
    }
}

TEST_F(IdentifyPatchTest, ShortPageIsLeftAlone) {
    Bytes page(0x24B, 0xCC);
    const ImageContext ctx{flash_, settings_.block, settings_.process};
    PatchIdentifyData(ctx, page, "SN", "123456789", 0x0E);
    EXPECT_EQ(page, Bytes(0x24B, 0xCC));
}

}  // namespace
}  // namespace kv
