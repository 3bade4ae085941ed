#include "run/serial_assignment.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "run/test_item_catalogue.h"

namespace kv {
namespace {

platform::LocalTime Day(int year, int month, int day) {
    platform::LocalTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    return t;
}

template <std::size_t N>
void Put(char (&field)[N], const std::string& text) {
    std::snprintf(field, N, "%s", text.c_str());
}

// A station with drives on some ports; Download is enabled, as in production.
struct Line {
    config::Settings settings;
    AP_GOLBAL ap;
    PortRecord ports[kMaxPorts];
    RunNumbering run{false, Day(2026, 12, 11)};

    Line() {
        settings.block.ItemEnabled[kDownload] = 1;
        Put(settings.block.SerialNum, "SN0001");
        Put(settings.block.UID, "000000001");
        settings.block.SNDecimal = 1;
        settings.block.UIDDecimal = 1;
    }
    void Plug(std::initializer_list<int> indexes) {
        for (int i : indexes)
            ports[i].Present = 1;
    }
    void Reuse(std::initializer_list<const char*> numbers) {
        ap.ReuseSn = ReuseSnList{};
        for (const char* n : numbers)
            Put(ap.ReuseSn.Numbers[ap.ReuseSn.Count++], n);
    }
    RunNumbers Assign() { return AssignRunNumbers(settings, ap, ports, run); }
    std::vector<std::string> Serials() const {
        std::vector<std::string> out;
        for (const PortRecord& p : ports)
            if (p.Present != 0)
                out.emplace_back(p.SerialNumber);
        return out;
    }
    std::vector<std::string> Wwns() const {
        std::vector<std::string> out;
        for (const PortRecord& p : ports)
            if (p.Present != 0)
                out.emplace_back(p.Wwn);
        return out;
    }
    // Ends the run: the listed ports failed Download, the others passed.
    void EndRun(const RunNumbers& numbers, std::initializer_list<int> failed) {
        for (PortRecord& p : ports)
            p.ItemStatus[kDownload] = p.Present != 0 ? kItemPassed : kItemNotSelected;
        for (int i : failed)
            ports[i].ItemStatus[kDownload] = kItemFailed;
        RebuildReuseAfterRun(numbers, ports, ap.ReuseSn);
    }
};

using Strings = std::vector<std::string>;

TEST(SerialWwn, ComposedByMode) {
    struct Case {
        int mode;
        const char* serial;
        const char* wwn;
        const char* serialAfter;
    };
    const Case cases[] = {
        // characters 9-19 "13111200042": 13 - 10 = 3, 11 = b, 12, 42 = 002a
        {0, "ABCDEFGHI13111200042", "03b12002a", "ABCDEFGHI13111200042"},
        // only leading digits count: "42XYZ" is 42
        {0, "ABCDEFGHI1311120042XYZ", "03b12002a", "ABCDEFGHI1311120042XYZ"},
        // 2026 - 2010 = 0x10, December = c, day 11, last 7 "0000300" = 300 = 012c
        {1, "KV-0000300", "010c11012c", "KV-0000300"},
        // the first two characters go, then "0" and the last 3 of the rest
        {2, "XY12345678", "010c110678", "12345678"},
        {3, "XY12345678", "010c115678", "12345678"},
        {3, "XY1", "010c111", "1"},
    };
    for (const Case& c : cases) {
        const auto composed = ComposeWwnFromSerial(c.mode, c.serial, Day(2026, 12, 11));
        ASSERT_TRUE(composed.has_value()) << c.serial;
        EXPECT_EQ(composed->wwn, c.wwn) << c.mode << " " << c.serial;
        EXPECT_EQ(composed->serial, c.serialAfter) << c.mode << " " << c.serial;
    }
    EXPECT_FALSE(ComposeWwnFromSerial(4, "XY12345678", Day(2026, 12, 11)).has_value());
}

TEST(SerialWwn, NeverLongerThanTheField) {
    // A serial short of character 9 gives 0 - 10, shown as a 32-bit word.
    const auto composed = ComposeWwnFromSerial(0, "SHORT", Day(2026, 1, 1));
    ASSERT_TRUE(composed.has_value());
    EXPECT_EQ(composed->wwn, "0fffffff60000000");
    // "0" + "7ffff825" + "c" + "31" + "98967f" is 18 characters: cut to 17.
    const auto far = ComposeWwnFromSerial(1, "9999999", Day(2147483647, 12, 31));
    ASSERT_TRUE(far.has_value());
    EXPECT_EQ(far->wwn, "07ffff825c3198967");
}

TEST(SerialAssignment, SequenceAdvancesOncePerPortInDecimalOrHex) {
    auto line = std::make_unique<Line>();
    line->Plug({0, 2, 5});
    line->settings.block.SNAutoInc = 1;
    line->settings.block.UIDAutoInc = 1;
    line->settings.block.SNDecimal = 0;
    Put(line->settings.block.SerialNum, "SN12FF");
    Put(line->settings.block.UID, "000000009");

    line->Assign();
    EXPECT_EQ(line->Serials(), (Strings{"SN12FF", "SN1300", "SN1301"}));
    EXPECT_EQ(line->Wwns(), (Strings{"000000009", "000000010", "000000011"}));
    EXPECT_STREQ(line->settings.block.SerialNum, "SN1302");
    EXPECT_STREQ(line->settings.block.UID, "000000012");
}

TEST(SerialAssignment, NoAdvanceWithoutDownloadOrInClaimNewMode) {
    for (const bool claimNew : {false, true}) {
        auto line = std::make_unique<Line>();
        line->Plug({0, 1});
        line->settings.block.SNAutoInc = 1;
        line->settings.block.UIDAutoInc = 1;
        line->settings.block.SNErrReuse = 1;
        line->Reuse({"R1"});
        line->run.claimNewMode = claimNew;
        if (!claimNew)
            line->settings.block.ItemEnabled[kDownload] = 0;

        line->Assign();
        EXPECT_EQ(line->Serials(), (Strings{"SN0001", "SN0001"})) << claimNew;
        EXPECT_STREQ(line->settings.block.SerialNum, "SN0001");
        EXPECT_STREQ(line->settings.block.UID, "000000001");
        EXPECT_EQ(line->ap.ReuseSn.NextIndex, 0);
    }
}

TEST(SerialAssignment, ReusedNumbersFirstThenTheSequenceWithoutGapOrDuplicate) {
    auto line = std::make_unique<Line>();
    line->Plug({0, 1, 2, 3});
    line->settings.block.SNAutoInc = 1;
    line->settings.block.SNErrReuse = 1;
    line->Reuse({"SN0000", "SN9000"});

    RunNumbers first = line->Assign();
    EXPECT_EQ(line->Serials(), (Strings{"SN0000", "SN9000", "SN0001", "SN0002"}));
    EXPECT_TRUE(first.fromReuseList[0]);
    EXPECT_FALSE(first.fromReuseList[2]);
    EXPECT_STREQ(line->settings.block.SerialNum, "SN0003");
    EXPECT_EQ(line->ap.ReuseSn.NextIndex, 2);

    // The second and fourth drives fail Download: their numbers go out again
    // next run, then the sequence resumes at SN0003.
    line->EndRun(first, {1, 3});
    ASSERT_EQ(line->ap.ReuseSn.Count, 2);
    EXPECT_EQ(line->ap.ReuseSn.NextIndex, 0);
    line->Assign();
    EXPECT_EQ(line->Serials(), (Strings{"SN9000", "SN0002", "SN0003", "SN0004"}));
    EXPECT_STREQ(line->settings.block.SerialNum, "SN0005");
}

TEST(SerialAssignment, ReuseEntriesBeyondThePortsWaitForTheNextRun) {
    auto line = std::make_unique<Line>();
    line->Plug({4});
    line->settings.block.SNAutoInc = 1;
    line->settings.block.SNErrReuse = 1;
    line->Reuse({"R1", "R2", "R3"});

    const RunNumbers numbers = line->Assign();
    EXPECT_EQ(line->Serials(), (Strings{"R1"}));
    EXPECT_STREQ(line->settings.block.SerialNum, "SN0001");
    line->EndRun(numbers, {});
    ASSERT_EQ(line->ap.ReuseSn.Count, 2);
    EXPECT_STREQ(line->ap.ReuseSn.Numbers[0], "R2");
    EXPECT_STREQ(line->ap.ReuseSn.Numbers[1], "R3");
}

TEST(SerialAssignment, ScannedNumbersTakeNothingFromTheSequence) {
    auto line = std::make_unique<Line>();
    line->Plug({0, 1, 2});
    line->settings.block.SNAutoInc = 1;
    line->settings.block.UIDAutoInc = 1;
    line->settings.block.EnBarCode = 1;
    line->settings.block.EnBarCodeWWN = 1;
    line->settings.block.EnPPID = 1;
    line->settings.block.SNErrReuse = 1;
    line->Reuse({"R1"});
    Put(line->ap.BarcodeSn[0], "SCAN-A");
    Put(line->ap.BarcodeWwn[1], "5000000000000001");
    Put(line->ap.BarcodePpid[2], "PPID-C");
    Put(line->ports[0].Ppid, "OLD");

    line->Assign();
    // Port 1 had no scanned serial number: the reused one; port 2 the sequence.
    EXPECT_EQ(line->Serials(), (Strings{"SCAN-A", "R1", "SN0001"}));
    // Port 2's scanned WWN leaves the UID for port 3.
    EXPECT_EQ(line->Wwns(), (Strings{"000000001", "5000000000000001", "000000002"}));
    EXPECT_STREQ(line->ports[0].Ppid, "OLD");
    EXPECT_STREQ(line->ports[2].Ppid, "PPID-C");
    EXPECT_STREQ(line->settings.block.SerialNum, "SN0002");
    EXPECT_STREQ(line->settings.block.UID, "000000003");
}

TEST(SerialAssignment, ReMPNumbersAreCheckedOnEveryPortFirst) {
    auto line = std::make_unique<Line>();
    line->Plug({0, 1, 7});
    line->settings.block.SNAutoInc = 1;
    line->settings.block.EnReMPSN = 1;
    for (int i = 0; i < kReMPSerialCount; ++i)
        Put(line->settings.process.ReMPSerial[i], "N/A");
    Put(line->settings.process.ReMPSerial[0], "REMP-1");
    Put(line->settings.process.ReMPSerial[1], "REMP-2");
    Put(line->ports[0].SerialNumber, "BEFORE");

    const RunNumbers refused = line->Assign();
    ASSERT_TRUE(refused.message.has_value());
    EXPECT_EQ(refused.message->text, "Please Make sure the PortSN08 does exist!!!");
    EXPECT_STREQ(line->ports[0].SerialNumber, "BEFORE");

    Put(line->settings.process.ReMPSerial[7], "REMP-8");
    const RunNumbers ok = line->Assign();
    EXPECT_FALSE(ok.message.has_value());
    EXPECT_EQ(line->Serials(), (Strings{"REMP-1", "REMP-2", "REMP-8"}));
    EXPECT_STREQ(line->settings.block.SerialNum, "SN0001");
}

TEST(SerialAssignment, FirmwareUpdateKeepsTheDrivesOwnNumber) {
    auto line = std::make_unique<Line>();
    line->Plug({0});
    line->settings.block.SNAutoInc = 1;
    line->settings.block.EnUpdateFirmwareMode = 1;
    Put(line->ports[0].SerialNumber, "FROM-DRIVE");
    line->Assign();
    EXPECT_EQ(line->Serials(), (Strings{"FROM-DRIVE"}));
    EXPECT_STREQ(line->settings.block.SerialNum, "SN0001");
}

TEST(SerialAssignment, WwnModeCutsTheSerialButReuseKeepsItWhole) {
    auto line = std::make_unique<Line>();
    line->Plug({0, 1});
    line->settings.block.SNAutoInc = 1;
    line->settings.block.UIDAutoInc = 1;
    line->settings.block.SNErrReuse = 1;
    line->settings.block.EnHalvoroSnToWWN = 1;
    line->settings.block.HalvoroSnToWWNMode = 2;
    Put(line->settings.block.SerialNum, "XY00000123");

    const RunNumbers numbers = line->Assign();
    EXPECT_EQ(line->Serials(), (Strings{"00000123", "00000124"}));
    EXPECT_EQ(line->Wwns(), (Strings{"010c110123", "010c110124"}));
    EXPECT_STREQ(line->settings.block.UID, "000000001");  // no drive took the UID

    line->EndRun(numbers, {0});
    ASSERT_EQ(line->ap.ReuseSn.Count, 1);
    EXPECT_STREQ(line->ap.ReuseSn.Numbers[0], "XY00000123");
}

}  // namespace
}  // namespace kv
