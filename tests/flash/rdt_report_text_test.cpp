// The texts and groups of the RDT report tree, from decoded records.
#include "flash/rdt_report_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flash/rdt_record.h"
#include "flash/rdt_report_tree.h"

namespace kv {
namespace {

RdtErrorEntry Entry(std::uint8_t address, int type, int mask, int page, int unit, int ecc, int step,
                    int action, int temperature, std::uint32_t seconds) {
    RdtErrorEntry e;
    e.Address = DecodeRdtDieAddress(address);
    e.ErrorType = static_cast<std::uint8_t>(type);
    e.PlaneMask = static_cast<std::uint8_t>(mask);
    e.Page = static_cast<std::uint16_t>(page);
    e.Unit = static_cast<std::uint16_t>(unit);
    e.EccInfo = static_cast<std::uint8_t>(ecc);
    e.StepCode = static_cast<std::uint8_t>(step);
    e.Action = static_cast<std::uint8_t>(action);
    e.Temperature = static_cast<std::uint8_t>(temperature);
    e.Ticks = seconds * 400;
    return e;
}

struct RowCase {
    const char* what;
    RdtErrorEntry entry;
    int ceCount;
    const char* row;
};

TEST(RdtReportRows, EveryPlaneMaskHasItsLineForm) {
    const RowCase cases[] = {
        {"both planes, no ECC column", Entry(0x80, 4, 3, 0, 0x311, 0, 1, 3, 40, 900), 1,
         "0(0),  0,   0,   0&1,   0x0311:3,  0x0622,  0x0623,          4,     0,  00:15:00,    1, "
         "       3,          40,\r\n"},
        {"plane 0, erase fail ends after the temperature",
         Entry(0x80, 4, 1, 0, 0x312, 9, 1, 3, 40, 905), 1,
         "0(0),  0,   0,     0,   0x0312:1,  0x0624,        ,          4,     0,  00:15:05,    1, "
         "       3,          40,\r\n"},
        {"plane 1 takes the odd block", Entry(0x80, 4, 2, 0, 0x313, 0, 1, 3, 40, 910), 1,
         "0(0),  0,   0,     1,   0x0313:2,  0x0627,        ,          4,     0,  00:15:10,    1, "
         "       3,          40,\r\n"},
        {"type 0 on one plane shows the ECC information; bank 5 of CeCount 2 shows (1)",
         Entry(0x80 | 0x30 | 0x08 | 5, 0, 1, 0x7F, 0x10, 45, 2, 0, 50, 7210), 2,
         "5(1),  3,   1,     0,   0x0010:1,  0x0020,        ,          0,    7f,  02:00:10,    A, "
         "       0,          50,              45\r\n"},
        {"a step code beyond the list prints '?'", Entry(0x80, 3, 3, 1, 2, 0, 9, 2, 30, 0), 1,
         "0(0),  0,   0,   0&1,   0x0002:3,  0x0004,  0x0005,          3,     1,  00:00:00,    ?, "
         "       2,          30,\r\n"},
        {"plane mask 0 gives no row", Entry(0x80, 1, 0, 1, 2, 0, 1, 1, 30, 0), 1, ""},
    };
    for (const RowCase& c : cases) {
        EXPECT_EQ(RdtErrorRow(c.entry, c.ceCount), c.row) << c.what;
    }
}

TEST(RdtReportRows, FactoryLinesNameTheUnitThePlanesAndTheBlocks) {
    EXPECT_EQ(RdtFactoryLine({1, 2, 0x0123, 1}, 1), "Bank:0  unit:0x0123:1  block:0x0246\r\n");
    EXPECT_EQ(RdtFactoryLine({3, 0, 0x0123, 2}, 2), "Bank:1  unit:0x0123:2  block:0x0247\r\n");
    EXPECT_EQ(RdtFactoryLine({2, 0, 0x07FF, 3}, 4),
              "Bank:2  unit:0x07ff:3  block:0x0ffe,0x0fff\r\n");
}

TEST(RdtReportRows, DieLinesShowIdsRatioAndFailPattern) {
    RdtDieRecord d;
    d.Address = DecodeRdtDieAddress(0x80 | 0x20 | 0x08 | 3);  // channel 2, LUN 1, bank 3
    const std::uint8_t id[7] = {0xEC, 0xD7, 0x94, 0x7A, 0x54, 0x00, 0x0A};
    std::copy(id, id + 7, d.FlashId);
    d.BadBlocks = 12;
    d.BadRatioPerMille = 25;
    d.MaxATenths = 32;
    d.MinVTenths = 7;
    d.FailPattern = 0x8012;
    EXPECT_EQ(RdtDieLines(d, 2),
              "Bank: 3(1)  Ch: 2, LUN: 1    ID: EC D7 94 7A 54 00 0A\r\n"
              "    Bad blocks:0012(2.5%)  Max A: 3.2  Min V: 0.7  Fail pattern:1,4,15\r\n");
}

RdtRecordData SampleRecord() {
    RdtRecordData r;
    r.FirmwareVersion = "RDT1.05A";
    r.BadBlocksThreshold = 60;
    r.EccFailBlocksThreshold = 10;
    r.HighPageProgFailThreshold = 12;
    r.ErrorBitsOverThreshold = 40;
    r.NotEmptyPageThreshold = 8;
    r.MarkEccFailFlag = 1;
    r.TotalTicks = (3 * 3600 + 25 * 60 + 10) * 400;
    for (int k = 0; k < 6; ++k) {
        r.StepMinTicks[k] = static_cast<std::uint32_t>((600 + 120 * k) * 400);
        r.StepMaxTicks[k] = static_cast<std::uint32_t>((645 + 120 * k) * 400 + 399);
    }
    r.Step3Cycles = 3;
    r.AverageTemperature = 35;
    r.ClockIndex = 3;
    return r;
}

const char kSeparator[] = "-------------------------------------------------------\r\n";

std::string ExpectedHead(bool inherit) {
    std::string t = "RDT FIRMWARE VERVION : RDT1.05A\r\n";
    t += kSeparator;
    if (inherit) {
        t += std::string("[Inherit Mode]\r\n") + kSeparator;
    }
    t += "Bad Blocks Threshold (per Plane) = 60\r\n"
         "ECC Fail Blocks Threshold (per Plane) = 10\r\n"
         "HighPage Prog Fail Blocks Threshold (per Plane) = 12\r\n"
         "Err_Bits_Over Threshold (per 1Kbits) = 40\r\n"
         "NOT EMPTY PAGE THRESHOLD (PER 1K) = 8\r\n"
         "Err_Bits_Over Mark ECC Fail Bad Flag = 1\r\n";
    t += kSeparator;
    t += "TOTOAL TIME: 03:25:10\r\n"
         "=======STEP 1=======\r\nMIN. TIME: 00:12:00\r\nMAX. TIME: 00:12:45\r\n"
         "=======STEP 3=======\r\nMIN. TIME: 00:16:00\r\nMAX. TIME: 00:16:45\r\n"
         "=======STEP 5=======\r\nMIN. TIME: 00:20:00\r\nMAX. TIME: 00:20:45\r\n"
         "Step3 Cycle Num: 3\r\n\r\n"
         "AVG. TEMPERATURE: 35\r\n\r\n"
         "SYSTEM CLOCK: 125\r\n";
    t += kSeparator;
    t += "====ERROR TYPE====\r\n"
         "0 : Err_Bits_Over Mark ECC Fail Bad (Threshold:40)\r\n"
         "1 : ECC FAIL\r\n3 : PROGRAM FAIL\r\n4 : ERASE FAIL\r\n5 : EMPTY PAGE FAIL\r\n"
         "6 : NOT EMPTY FAIL (Threshold:8)\r\n"
         "7 : ECC OVER -> ECC FAIL\r\n";
    t += kSeparator;
    t += "====ACTION====\r\n0 : PRE-READ\r\n1 : POST-READ\r\n2 : PROGRAM\r\n3 : ERASE\r\n";
    t += kSeparator;
    t += "====Error Code====\r\nP05 : BadBlock over spec\r\nP06 : UpperBlock over spec\r\n"
         "P07 : ECC fail Occur.\r\n";
    t += kSeparator;
    return t;
}

const char kTableHeader[] =
    "================RDT Bad==================\r\n"
    "Bank, Ch, LUN, Plane, Block unit, Block 1, Block 2, Error type,  Page,       time, Step,   "
    "Action, Temperature, Ecc Information\r\n";

TEST(RdtReportText, HeadShowsStepsOneThreeFiveAndTheLegends) {
    EXPECT_EQ(RdtReportHead(SampleRecord()), ExpectedHead(false));
    RdtRecordData inherit = SampleRecord();
    inherit.Inherit = true;
    EXPECT_EQ(RdtReportHead(inherit), ExpectedHead(true));
}

TEST(RdtReportText, InheritGroupsWithoutEntriesSayNotReRdtRecord) {
    RdtRecordData r = SampleRecord();
    r.Inherit = true;
    const std::string dashes = std::string(" ") + std::string(108, '-') + "\r\n";
    const std::string notReRdt =
        std::string(47, ' ') + "Not ReRDT Record" + std::string(50, ' ') + "\r\n";
    EXPECT_EQ(RdtGroupReport(r, {}, {}, 1),
              ExpectedHead(true) + kTableHeader + dashes + notReRdt + dashes);

    const RdtErrorEntry e = Entry(0x80, 4, 3, 0, 0x311, 0, 1, 3, 40, 900);
    EXPECT_EQ(RdtGroupReport(r, {}, {e}, 1), ExpectedHead(true) + kTableHeader + RdtErrorRow(e, 1));
    r.Inherit = false;
    EXPECT_EQ(RdtGroupReport(r, {}, {}, 1), ExpectedHead(false) + kTableHeader);
}

TEST(RdtReportGroups, PresentDiesFormGroupsAndAbsentOnesNone) {
    std::vector<RdtDieRecord> dies(4);
    dies[0].Address = DecodeRdtDieAddress(0x80 | 0x10 | 0);  // channel 1, bank 0
    dies[1].Address = DecodeRdtDieAddress(0x80 | 0x20 | 3);  // channel 2, bank 3
    dies[2].Address = DecodeRdtDieAddress(0x30 | 1);         // not present
    dies[3].Address = DecodeRdtDieAddress(0x80 | 0x30 | 7);  // channel 3, bank 7: group 15
    const RdtDieGroups g = GroupRdtDies(dies, 2);
    std::vector<int> present;
    for (int i = 0; i < kRdtGroupCount; ++i) {
        if (g.Present[static_cast<std::size_t>(i)]) {
            present.push_back(i);
        }
    }
    EXPECT_EQ(present, (std::vector<int>{1, 6, 15}));
    EXPECT_EQ(g.GroupOfAddress(DecodeRdtDieAddress(0x80 | 0x20 | 3)), 6);
    EXPECT_EQ(g.GroupOfAddress(DecodeRdtDieAddress(0x30 | 1)), -1);

    // Groups beyond 15 and a chip-enable count of 0 give no group.
    EXPECT_EQ(RdtGroupOf(7, 3, 1), -1);
    EXPECT_EQ(RdtGroupOf(1, 0, 0), -1);
    EXPECT_EQ(RdtGroupOf(3, 2, 1), 14);
}

TEST(RdtReportFolders, CategoryFollowsTheFirstFlagOfBitsZeroOneTwo) {
    const struct {
        std::uint8_t flags;
        const char* name;
    } cases[] = {{0x03, "P07"}, {0x06, "P05"}, {0x04, "P06"}, {0x20, ""}, {0x00, ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(RdtCategoryName(c.flags), c.name) << int(c.flags);
    }
    EXPECT_EQ(RdtCategoryText(0x03), "[P07]");
    EXPECT_EQ(RdtCategoryText(0x20), "");
}

TEST(RdtReportFolders, SerialNamesStayInsideTheirFolder) {
    const struct {
        const char* serial;
        const char* name;
    } cases[] = {{"SN0042", "SN0042"},
                 {"../up", ".._up"},
                 {"..", "__"},
                 {"", "_"},
                 {"a\\b:c*d?e", "a_b_c_d_e"}};
    for (const auto& c : cases) {
        EXPECT_EQ(RdtSerialName(c.serial), c.name) << c.serial;
    }
    EXPECT_EQ(RdtGroupFileName("SN7", 13, ".ms1"), "SN7_F31.ms1");
}

}  // namespace
}  // namespace kv
