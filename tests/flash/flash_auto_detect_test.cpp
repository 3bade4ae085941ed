#include "flash/flash_auto_detect.h"

#include <gtest/gtest.h>

#include <cstring>

#include "firmware/firmware_test_support.h"

namespace kv {
namespace {

// Two vendors; parts 1 and 2 share an ID.
FlashPartsList TwoVendorList() {
    FlashPartsList list;
    list.Vendors = {"VendorA", "VendorB"};
    const std::uint8_t ids[3][5] = {{0xEC, 0xD7, 0x94, 0x72, 0x54},
                                    {0x98, 0xDE, 0x94, 0x93, 0x76},
                                    {0x98, 0xDE, 0x94, 0x93, 0x76}};
    for (int i = 0; i < 3; ++i) {
        FlashPart part = test::MakePart(test::kToggleMlc);
        std::memcpy(part.FlashId, ids[i], 5);
        list.Parts.push_back(part);
    }
    list.VendorPartEnd = {1, 3};
    return list;
}

FlashInfoReport Report(std::initializer_list<std::uint8_t> id) {
    FlashInfoReport r;
    std::copy(id.begin(), id.end(), r.Id);
    r.Channels = 4;
    r.Banks = 2;
    r.ChipEnables = 2;
    for (int i = 0; i < 8; ++i) {
        r.CeCodes[i] = static_cast<std::uint8_t>(0x10 + i);
    }
    return r;
}

TEST(FlashAutoDetectTest, MatchesEveryPartWithTheSameFiveIdBytes) {
    const FlashPartsList list = TwoVendorList();
    AutoDetectResult r = MatchFlashParts(list, Report({0xEC, 0xD7, 0x94, 0x72, 0x54}), "", "");
    ASSERT_EQ(r.Matches.size(), 1u);
    EXPECT_EQ(r.Matches[0].PartIndex, 0);
    EXPECT_EQ(r.Matches[0].VendorIndex, 0);
    EXPECT_FALSE(r.NeedsChoice);
    EXPECT_TRUE(r.Messages.empty());
    EXPECT_EQ(r.Channels, 4);
    EXPECT_EQ(r.Banks, 2);
    EXPECT_EQ(r.DrvCurrent, 3);

    r = MatchFlashParts(list, Report({0x98, 0xDE, 0x94, 0x93, 0x76}), "", "");
    ASSERT_EQ(r.Matches.size(), 2u);
    EXPECT_EQ(r.Matches[1].PartIndex, 2);
    EXPECT_EQ(r.Matches[1].VendorIndex, 1);
    EXPECT_TRUE(r.NeedsChoice);

    // One differing byte, even the fifth, is no match.
    r = MatchFlashParts(list, Report({0xEC, 0xD7, 0x94, 0x72, 0x55}), "", "");
    EXPECT_TRUE(r.Matches.empty());
}

TEST(FlashAutoDetectTest, NoMatchGivesTheTwoMessages) {
    FlashInfoReport report = Report({0xAD, 0xDE, 0x14, 0xA7, 0x42});
    report.ChipEnables = 4;
    const AutoDetectResult r = MatchFlashParts(TwoVendorList(), report, "", "");
    ASSERT_EQ(r.Messages.size(), 2u);
    EXPECT_EQ(r.Messages[0].text, "Not found, check your flash list!!");
    EXPECT_EQ(r.Messages[1].text,
              "Flash's CE:4\nFlash's Maker Code:AD\nFlash's Device Code:DE\nFlash's 3rd Code:14\n"
              "Flash's 4th Code:A7\nFlash's 5th Code:42\nSSD's total channel:4\nSSD's total "
              "bank:2\n");
}

TEST(FlashAutoDetectTest, BankSetFromTheDriveDependsOnTheProgramBuild) {
    struct Case {
        const char* tag;
        const char* version;
        bool fromDrive;
    };
    const Case cases[] = {
        {"6701", "030001", true},  {"6701", "020001", false}, {"0612", "020001", true},
        {"0612", "010001", false}, {"A1B2", "990001", false}, {"67", "102003", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tag) + " " + c.version);
        const AutoDetectResult r = MatchFlashParts(
            TwoVendorList(), Report({0xEC, 0xD7, 0x94, 0x72, 0x54}), c.tag, c.version);
        EXPECT_EQ(r.FwBankSetFromDrive, c.fromDrive);
        EXPECT_EQ(r.FwBankSet[3], c.fromDrive ? 0x13 : 3);
    }
}

TEST(FlashAutoDetectTest, ParsesTheFlashInfoSector) {
    std::uint8_t sector[512] = {0xEC, 0xD7, 0x94, 0x72, 0x54, 0, 0, 4, 2,
                                2,    9,    8,    7,    6,    5, 4, 3, 2};
    FlashInfoReport r;
    ASSERT_TRUE(ParseFlashInfoReport(sector, sizeof sector, r));
    EXPECT_EQ(r.Id[4], 0x54);
    EXPECT_EQ(r.Channels, 4);
    EXPECT_EQ(r.Banks, 2);
    EXPECT_EQ(r.ChipEnables, 2);
    EXPECT_EQ(r.CeCodes[0], 9);
    EXPECT_EQ(r.CeCodes[7], 2);
    EXPECT_FALSE(ParseFlashInfoReport(sector, 17, r));
}

}  // namespace
}  // namespace kv
