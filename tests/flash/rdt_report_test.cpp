// Filing the RDT record set of drives of the virtual fixture into a report
// tree in a folder of the test's own: folder and file names, the factory-bad
// and report files line by line, the record search and its failures.
#include "flash/rdt_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "device/port_device.h"
#include "device/vendor_access.h"
#include "emulator/fixture.h"
#include "firmware/firmware_test_support.h"
#include "platform/platform.h"
#include "platform/sim/sim_platform.h"
#include "support/temp_folder.h"
#include "tools/sample_gdp_image.h"

namespace kv {
namespace {

// The sim backend with its debugger channel recorded (the search logs
// every block it reads).
class TracingSim final : public platform::SimPlatform {
  public:
    using SimPlatform::SimPlatform;
    void DebuggerOutput(const char* text) override { traces.emplace_back(text); }
    bool Traced(const std::string& line) const {
        return std::find(traces.begin(), traces.end(), line) != traces.end();
    }
    std::vector<std::string> traces;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::set<std::string> FilesIn(const std::string& folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
        names.insert(e.path().filename().string());
    }
    return names;
}

// The eight groups of a 4-channel, 2-bank drive with one chip enable per
// package: F00..F03 (bank 0), F10..F13 (bank 1).
std::set<std::string> GroupFiles(const std::string& serial, const char* extension) {
    std::set<std::string> names;
    for (const char* g : {"F00", "F01", "F02", "F03", "F10", "F11", "F12", "F13"}) {
        names.insert(serial + "_" + g + extension);
    }
    return names;
}

class RdtReportTest : public ::testing::Test {
  protected:
    // Drives on 1.1, 1.2, ... with the given keys, ports 0, 1, ... bound to them.
    void Load(const std::vector<std::string>& drives) {
        std::string error;
        ASSERT_TRUE(tools::WriteSampleGdpImage(folder.File("GDP.bin"), error)) << error;
        std::string text = "[Fixture]\nTimeScale=0\n";
        for (std::size_t i = 0; i < drives.size(); ++i) {
            text +=
                std::string("[Drive 1.") + std::to_string(i + 1) + "]\nBridge=p713\n" + drives[i];
        }
        std::ofstream(folder.File("Fixture.ini")) << text;
        fixture = emu::Fixture::Load(folder.File("Fixture.ini"), error);
        ASSERT_TRUE(fixture) << error;
        sim = std::make_unique<TracingSim>(*fixture);
        platform::SetCurrent(sim.get());
        PortDeviceTable().ClearAll();
        for (std::size_t i = 0; i < drives.size(); ++i) {
            Bind(static_cast<int>(i), std::string("1.") + std::to_string(i + 1));
        }
        for (int p = 0; p < 4; ++p) {
            ForgetRdtBlock(p);
        }

        settings = test::SettingsWith(4, 2);
        FlashPart part;
        std::strncpy(part.FlashName, "RDT32G", sizeof part.FlashName - 1);
        part.TypeWord = 0x084A;
        part.CeCount = 1;
        part.EccMode = 2;
        const std::uint8_t id[5] = {0xEC, 0xD7, 0x94, 0x7A, 0x54};
        std::copy(id, id + 5, part.FlashId);
        flash = SelectFlashPart(part, settings.block, settings.process);
        ASSERT_TRUE(flash.Valid) << flash.Problem;
        ASSERT_EQ(flash.BlocksPerCe, 4096);
        ASSERT_EQ(flash.PagesPerBlock, 128);
        ASSERT_EQ(flash.SectorsPerPage, 16);
    }
    // The port bound to the drive, with the vendor feature and vendor
    // commands on as discovery leaves them, so that carrier commands reach
    // the controller.
    void Bind(int port, const std::string& location) {
        PortDeviceTable().Set(port, sim->DevicePathOf(*fixture->DeviceAt(location)),
                              BusPath::SataPath);
        ASSERT_TRUE(VA_SetVendorFeature(port, true));
        ASSERT_TRUE(VA_EnableVendorCmd(port, 10));
    }
    void TearDown() override {
        PortDeviceTable().ClearAll();
        platform::SetCurrent(nullptr);
        for (int p = 0; p < 4; ++p) {
            ForgetRdtBlock(p);
        }
    }

    RdtReportOutcome Show(int port, bool display = false) {
        const ProcedureContext ctx{flash, settings.block, settings.process, folder.path() + "/"};
        return ShowRDTResult(port, display, ctx, folder.path() + "/");
    }
    std::string Tree(const std::string& relative) const {
        return folder.path() + "/RDT_Log/" + relative;
    }
    emu::Nand& NandOf(const std::string& location) {
        emu::Drive* drive = fixture->DriveOf(*fixture->DeviceAt(location));
        return *drive->WithParts(
            [](emu::Controller&, emu::Nand& nand, emu::DriveState&) { return &nand; });
    }

    test::TempFolder folder{"kv_rdt_report"};
    std::unique_ptr<emu::Fixture> fixture;
    std::unique_ptr<TracingSim> sim;
    config::Settings settings;
    FlashConfig flash;
};

struct TreeCase {
    const char* keys;
    const char* serialFolder;  // under RDT_Log/
    const char* fileSerial;
    const char* verdict;
    const char* category;
};

void PrintTo(const TreeCase& c, std::ostream* os) {
    *os << c.serialFolder;
}

class RdtReportTree : public RdtReportTest, public ::testing::WithParamInterface<TreeCase> {};

TEST_P(RdtReportTree, FilesTheDriveByVerdictCategoryAndSerial) {
    const TreeCase& c = GetParam();
    Load({c.keys});
    const RdtReportOutcome out = Show(0);
    ASSERT_TRUE(out.Filed) << out.Message;
    EXPECT_EQ(out.RecordBlock, 4095);
    EXPECT_EQ(out.Verdict, c.verdict);
    EXPECT_EQ(out.Category, c.category);
    EXPECT_EQ(out.SerialFolder, Tree(c.serialFolder));
    EXPECT_EQ(FilesIn(Tree(c.serialFolder)), (std::set<std::string>{"Factory", "RDT"}));
    EXPECT_EQ(FilesIn(Tree(c.serialFolder) + "Factory"), GroupFiles(c.fileSerial, ".ms0"));
    EXPECT_EQ(FilesIn(Tree(c.serialFolder) + "RDT"), GroupFiles(c.fileSerial, ".ms1"));
    // Nothing lands beside the drive's folder.
    EXPECT_EQ(FilesIn(folder.path() + "/RDT_Log"), (std::set<std::string>{c.verdict}));
}

INSTANTIATE_TEST_SUITE_P(
    Verdicts, RdtReportTree,
    ::testing::Values(
        TreeCase{"Rdt=pass\nRdtSerial=SN0042\n", "RDT_OK/SN0042/", "SN0042", "RDT_OK", ""},
        TreeCase{"Rdt=P05\nRdtSerial=SN0042\n", "RDT_NG/P05/SN0042/", "SN0042", "RDT_NG", "[P05]"},
        TreeCase{"Rdt=P06\nRdtSerial=SN0042\n", "RDT_NG/P06/SN0042/", "SN0042", "RDT_NG", "[P06]"},
        // A serial with a path in it stays a name inside its category folder.
        TreeCase{"Rdt=P07\nRdtSerial=../SN7\n", "RDT_NG/P07/.._SN7/", ".._SN7", "RDT_NG",
                 "[P07]"}));

TEST_F(RdtReportTest, ReportOfTheFailingGroupListsItsDiesAndErrors) {
    Load({"Rdt=P05\nRdtSerial=SN0042\nFactoryBad=3\n"});
    const RdtReportOutcome out = Show(0);
    ASSERT_TRUE(out.Filed) << out.Message;
    const std::string rdt = Tree("RDT_NG/P05/SN0042/RDT/");
    const std::string f00 = ReadFile(rdt + "SN0042_F00.ms1");
    EXPECT_EQ(f00, out.GroupReports[0]);
    EXPECT_EQ(f00.rfind("RDT FIRMWARE VERVION : RDT1.05A\r\n", 0), 0u);
    EXPECT_NE(f00.find("TOTOAL TIME: 03:25:10\r\n"), std::string::npos);

    // The die of bank 0, channel 0 (3 bad of 4,096 blocks: 0.0 %), then the
    // erase fails the P05 record lists on it: both planes, plane 0, plane 1.
    const std::string tail =
        "Bank: 0(0)  Ch: 0, LUN: 0    ID: EC D7 94 7A 54 00 00\r\n"
        "    Bad blocks:0003(0.0%)  Max A: 3.2  Min V: 2.7  Fail pattern:1,4\r\n"
        "================RDT Bad==================\r\n"
        "Bank, Ch, LUN, Plane, Block unit, Block 1, Block 2, Error type,  Page,       time, Step,  "
        " "
        "Action, Temperature, Ecc Information\r\n"
        "0(0),  0,   0,   0&1,   0x0311:3,  0x0622,  0x0623,          4,     0,  00:15:00,    1, "
        "       3,          40,\r\n"
        "0(0),  0,   0,     0,   0x0312:1,  0x0624,        ,          4,     0,  00:15:05,    1, "
        "       3,          40,\r\n"
        "0(0),  0,   0,     1,   0x0313:2,  0x0627,        ,          4,     0,  00:15:10,    1, "
        "       3,          40,\r\n";
    ASSERT_GE(f00.size(), tail.size());
    EXPECT_EQ(f00.substr(f00.size() - tail.size()), tail);

    // Bank 1, channel 2 has its die and no errors.
    const std::string f12 = ReadFile(rdt + "SN0042_F12.ms1");
    const std::string quiet =
        "Bank: 1(0)  Ch: 2, LUN: 0    ID: EC D7 94 7A 54 00 00\r\n"
        "    Bad blocks:0003(0.0%)  Max A: 3.2  Min V: 2.7  Fail pattern:1,4\r\n"
        "================RDT Bad==================\r\n"
        "Bank, Ch, LUN, Plane, Block unit, Block 1, Block 2, Error type,  Page,       time, Step,  "
        " "
        "Action, Temperature, Ecc Information\r\n";
    ASSERT_GE(f12.size(), quiet.size());
    EXPECT_EQ(f12.substr(f12.size() - quiet.size()), quiet);
}

TEST_F(RdtReportTest, FactoryFilesListEveryFactoryBadBlockOfTheirGroup) {
    Load({"Rdt=pass\nRdtSerial=SN9\nFactoryBad=12,1.1.7,1.1.6\n"});
    ASSERT_TRUE(Show(0).Filed);

    // The expected lines from the flash's own bad-block plan: per (bank,
    // channel) the block pairs in order, with the planes that are bad.
    std::map<int, std::map<int, int>> pairs;  // group -> unit -> planes
    for (const emu::BlockAddress& a : NandOf("1.1").plan().factory) {
        pairs[a.chipEnable * 4 + a.channel][a.block / 2] |= 1 << (a.block & 1);
    }
    ASSERT_EQ(pairs[5][3], 3) << "blocks 6 and 7 of channel 1, bank 1 form one pair";
    for (const auto& [group, units] : pairs) {
        std::string expected = "====================Factory Bad====================\r\n";
        for (const auto& [unit, planes] : units) {
            char line[80];
            if (planes == 3) {
                std::snprintf(line, sizeof line, "Bank:0  unit:0x%04x:3  block:0x%04x,0x%04x\r\n",
                              unit, unit * 2, unit * 2 + 1);
            } else {
                std::snprintf(line, sizeof line, "Bank:0  unit:0x%04x:%d  block:0x%04x\r\n", unit,
                              planes, unit * 2 + (planes == 2 ? 1 : 0));
            }
            expected += line;
        }
        const std::string name =
            std::string("SN9_F") + std::to_string(group / 4) + std::to_string(group % 4);
        EXPECT_EQ(ReadFile(Tree("RDT_OK/SN9/Factory/") + name + ".ms0"), expected) << name;
    }
    EXPECT_EQ(pairs.size(), 8u);
}

// A record set written straight into block `block` of chip enable 0, channel 0.
void WriteMinimalRecordSet(emu::Nand& nand, int block, const char* serial) {
    const std::size_t bytes = static_cast<std::size_t>(nand.geometry().pageBytes());
    std::vector<std::uint8_t> header(bytes, 0);
    std::memcpy(header.data(), "RDTM", 4);
    header[796] = 5;  // error page 5, one page
    header[798] = 1;
    header[800] = 4;  // no factory-bad pages
    header[808] = 1;  // record page
    header[812] = 3;  // die information page
    std::vector<std::uint8_t> record(bytes, 0);
    std::memcpy(record.data(), "RDTM", 4);
    std::memcpy(record.data() + 24, serial, std::strlen(serial));
    std::vector<std::uint8_t> dies(bytes, 0xAA);
    dies[0] = 0x80;
    dies[1] = 0xEC;
    dies[2] = 0xD7;
    std::fill(dies.begin() + 3, dies.begin() + 32, std::uint8_t{0});
    const std::vector<std::uint8_t> errors(bytes, 0xAA);
    for (const auto& [page, data] : std::vector<std::pair<int, const std::vector<std::uint8_t>*>>{
             {0, &header}, {1, &record}, {3, &dies}, {5, &errors}, {127, &header}}) {
        ASSERT_EQ(nand.ProgramPage({0, 0, block, page}, *data), emu::NandStatus::Ok);
    }
}

TEST_F(RdtReportTest, SearchReachesBlockElevenAndNeverBlockTen) {
    Load({"Rdt=none\n", "Rdt=none\n"});
    WriteMinimalRecordSet(NandOf("1.1"), 11, "LOW11");
    WriteMinimalRecordSet(NandOf("1.2"), 10, "LOW10");

    const RdtReportOutcome found = Show(0);
    ASSERT_TRUE(found.Filed) << found.Message;
    EXPECT_EQ(found.RecordBlock, 11);
    EXPECT_EQ(FilesIn(Tree("RDT_OK/LOW11/Factory")), (std::set<std::string>{"LOW11_F00.ms0"}));
    EXPECT_EQ(ReadFile(Tree("RDT_OK/LOW11/Factory/LOW11_F00.ms0")),
              "====================Factory Bad====================\r\n");

    sim->traces.clear();
    const RdtReportOutcome missed = Show(1, true);
    EXPECT_FALSE(missed.Filed);
    EXPECT_EQ(missed.RecordBlock, -1);
    EXPECT_TRUE(sim->Traced("Block:4095\n"));
    EXPECT_TRUE(sim->Traced("Block:11\n"));
    EXPECT_FALSE(sim->Traced("Block:10\n"));
    EXPECT_EQ(FilesIn(folder.path() + "/RDT_Log"), (std::set<std::string>{"RDT_OK"}));
}

TEST_F(RdtReportTest, ARememberedBlockNeverHidesAHigherRecordOfTheNextDrive) {
    // Block 4095 of the first drive is bad, so its records sit in 4094.
    Load({"Rdt=pass\nRdtSerial=FIRST\nFactoryBad=0,0.0.4095\n", "Rdt=pass\nRdtSerial=NEXT\n"});
    EXPECT_EQ(Show(0).RecordBlock, 4094);
    EXPECT_EQ(RememberedRdtBlock(0), 4094);

    Bind(0, "1.2");
    sim->traces.clear();
    const RdtReportOutcome next = Show(0);
    ASSERT_TRUE(next.Filed) << next.Message;
    EXPECT_EQ(next.RecordBlock, 4095);
    EXPECT_EQ(next.SerialFolder, Tree("RDT_OK/NEXT/"));
    // The remembered block was read first.
    const auto first = std::find_if(sim->traces.begin(), sim->traces.end(),
                                    [](const std::string& t) { return t.rfind("Block:", 0) == 0; });
    ASSERT_NE(first, sim->traces.end());
    EXPECT_EQ(*first, "Block:4094\n");
}

TEST_F(RdtReportTest, FailuresStopWithTheirMessageOnlyWhenDisplayed) {
    Load({"Rdt=pass\nFault=hang:0x0D\n", "Rdt=pass\nFault=hang:0x0D\n"});
    const RdtReportOutcome shown = Show(0, true);
    EXPECT_FALSE(shown.Filed);
    EXPECT_EQ(shown.Message, "RDT Page read: fail. Block:4095  Page:0");
    const RdtReportOutcome quiet = Show(1, false);
    EXPECT_FALSE(quiet.Filed);
    EXPECT_EQ(quiet.Message, "");
    EXPECT_EQ(FilesIn(folder.path() + "/RDT_Log"), std::set<std::string>{});
}

TEST_F(RdtReportTest, ARootThatCannotBeCreatedStopsBeforeAnyRead) {
    Load({"Rdt=pass\n"});
    std::ofstream(folder.File("RDT_Log")) << "a file in the way";
    sim->traces.clear();
    const RdtReportOutcome out = Show(0, true);
    EXPECT_FALSE(out.Filed);
    EXPECT_EQ(out.Message, "Cannot create root directory.");
    EXPECT_FALSE(sim->Traced("Block:4095\n"));
}

}  // namespace
}  // namespace kv
