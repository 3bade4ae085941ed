#include "flash/rdt_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "firmware/system_area_fixture.h"

namespace kv {
namespace {

TEST(RdtCheck, HeaderFlagsGiveTheVerdictInOrder) {
    struct Case {
        std::uint8_t flags;
        int verdict;
    } cases[] = {{0x00, 1},  {0x01, 74}, {0x03, 74}, {0x02, 72}, {0x06, 72},
                 {0x04, 73}, {0x20, 80}, {0x24, 73}, {0x18, 1}};
    for (const Case& c : cases) {
        std::vector<std::uint8_t> page(512, 0);
        std::memcpy(page.data(), "RDTM", 4);
        page[6] = c.flags;
        EXPECT_EQ(RdtVerdictOfHeader(page), c.verdict) << int(c.flags);
    }
}

TEST(RdtCheck, LtsProgressGivesTheVerdict) {
    struct Case {
        std::uint8_t progress;
        int verdict;
    } cases[] = {{0x07, 1}, {0x03, 84}, {0x05, 83}, {0x06, 83}, {0x00, 83}, {0x0F, 1}};
    for (const Case& c : cases) {
        std::vector<std::uint8_t> page(512, 0);
        std::memcpy(page.data(), "LTSM", 4);
        page[4] = c.progress;
        EXPECT_EQ(LtsVerdictOfPage(page), c.verdict) << int(c.progress);
    }
}

TEST(RdtCheck, SearchCoversTheLastTenthRoundedUp) {
    EXPECT_EQ(RdtSearchFloor(4096), 3687);
    EXPECT_EQ(RdtSearchFloor(2048), 1844);  // 1843.2
    EXPECT_EQ(RdtSearchFloor(1000), 900);
}

TEST(RdtCheck, SerialTextEndsAtItsZeroAndIsCutToItsField) {
    std::vector<std::uint8_t> page(2048, 0);
    std::memcpy(page.data() + 24, "SN12345", 7);
    EXPECT_EQ(RdtSerialText(page), "SN12345");
    std::memset(page.data() + 24, 'A', 1500);  // no zero within 1,040 bytes
    EXPECT_EQ(RdtSerialText(page).size(), kRdtSerialCapacity);
    EXPECT_EQ(RdtSerialText(std::vector<std::uint8_t>(20, 'A')), "");
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

using RdtDriveTest = test::SystemAreaFixture;

TEST_F(RdtDriveTest, RecordsOfTheBurnInGiveTheirVerdict) {
    struct Case {
        const char* keys;
        bool lts;
        std::uint8_t noSerialCheck;
        int verdict;
    } cases[] = {
        {"Rdt=pass\nRdtSerial=KV5100000042\n", false, 0, 1},
        {"Rdt=P05\nRdtSerial=KV5100000042\n", false, 0, 72},
        {"Rdt=P06\n", false, 0, 73},
        {"Rdt=P07\n", false, 0, 74},
        {"Rdt=none\n", false, 0, 70},
        {"Rdt=pass\nRdtSerial=OTHER01\n", false, 0, 76},
        {"Rdt=pass\nRdtSerial=OTHER01\n", false, 1, 1},
        {"Rdt=lts-pass\n", true, 0, 1},
        {"Rdt=lts-notrun\n", true, 0, 83},
        {"Rdt=lts-fail\n", true, 0, 84},
        {"Rdt=pass\n", true, 0, 82},
    };
    for (const Case& c : cases) {
        StartDrive(c.keys);
        settings.block.EnNoCheckRDTSn = c.noSerialCheck;
        const RdtCheckResult r = CheckRdtResult(0, work, Context(), "KV5100000042", c.lts);
        EXPECT_EQ(r.Verdict, c.verdict) << c.keys;
        EXPECT_EQ(r.Passed, c.verdict == 1 || (c.verdict == 76)) << c.keys;
        if (!c.lts && (c.verdict == 1 || c.verdict == 76)) {
            EXPECT_FALSE(r.SerialText.empty()) << c.keys;
        }
        TearDown();
    }
}

}  // namespace
}  // namespace kv
