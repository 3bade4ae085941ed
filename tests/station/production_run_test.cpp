#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "device/discovery_window.h"
#include "device/enum_usb_device.h"
#include "disk/format_output.h"
#include "platform/paths.h"
#include "platform/sim/sim_platform.h"
#include "station/station_run.h"
#include "support/run_tool.h"
#include "support/temp_folder.h"
#include "tools/sample_station.h"

namespace kv {
namespace {

// The formatter's report is not part of what these tests look at.
class QuietFormat final : public disk::FormatOutput {
  public:
    void Console(const std::string&) override {}
};

// A whole production of a sample station folder on its virtual fixture, in
// this process: discovery, START, one worker per drive, logs and panels.
class ProductionRun : public ::testing::Test {
  protected:
    void Produce(int drives) {
        tools::SampleOptions options;
        options.drives = drives;
        std::string error;
        ASSERT_TRUE(tools::WriteSampleStation(folder.path(), options, error)) << error;
        platform::SetStationFolder(folder.path() + "/");
        working = std::make_unique<test::ScopedWorkingFolder>(folder.path());
        sim = platform::SimPlatform::Load(folder.path() + "/Fixture.ini", error);
        ASSERT_NE(sim, nullptr) << error;
        platform::SetCurrent(sim.get());
        disk::SetFormatOutput(&quiet);
        station = std::make_unique<Station>(ui);
        ASSERT_TRUE(station->Start());
        session = std::make_unique<DiscoverySession>(station->ports, station->settings, window);
        EnumUSBDevice(*session);
        SelectRunFirmware(*station);
        StationRun run(*station, *session, view);
        state = run.Start(RunControls{});
        station->Close();
    }
    void TearDown() override {
        disk::SetFormatOutput(nullptr);
        platform::SetCurrent(nullptr);
        platform::SetStationFolder("");
    }
    std::string DailyLog() const {
        for (const auto& entry : std::filesystem::directory_iterator(folder.path() + "/log")) {
            if (entry.path().extension() == ".txt") {
                std::ifstream in(entry.path(), std::ios::binary);
                std::stringstream text;
                text << in.rdbuf();
                return text.str();
            }
        }
        return "";
    }

    test::TempFolder folder{"kv_production"};
    test::ScopedLockFolder locks;
    std::unique_ptr<test::ScopedWorkingFolder> working;
    std::unique_ptr<platform::SimPlatform> sim;
    QuietFormat quiet;
    SilentUi ui;
    DiscoveryWindow window;
    RunView view;
    std::unique_ptr<Station> station;
    std::unique_ptr<DiscoverySession> session;
    StartState state;
};

TEST_F(ProductionRun, EveryDriveOfTheSampleLinePasses) {
    Produce(4);
    EXPECT_EQ(state.repetitions, 1);
    EXPECT_EQ(state.lastResult, 1);
    for (int port = 0; port < 4; ++port) {
        SCOPED_TRACE(port);
        const PortRecord& p = station->ports[port];
        EXPECT_EQ(p.Result, 1);
        EXPECT_EQ(p.FailCode, 0);
        EXPECT_EQ(p.Formatted, 1);
        EXPECT_NE(p.DriveLetter, 0);
    }
    EXPECT_STREQ(station->ports[0].SerialNumber, "KV5100000001");
    EXPECT_STREQ(station->ports[3].SerialNumber, "KV5100000004");
    EXPECT_EQ(station->settings.block.Yield.TotalTestCount, 4);
    EXPECT_EQ(station->settings.block.Yield.NumberOfPass, 4);
    const std::string log = DailyLog();
    EXPECT_NE(log.find("KV5100000004"), std::string::npos);
    EXPECT_EQ(log.find("Fail"), std::string::npos);
}

TEST_F(ProductionRun, AProducedDriveCarriesACleanFileSystem) {
    Produce(1);
    ASSERT_EQ(station->ports[0].Result, 1);
    std::string error;
    ASSERT_TRUE(sim->fixture().Save(error)) << error;
    const auto id = sim->fixture().DeviceAt(sim->PresentDevices().at(0).location);
    ASSERT_TRUE(id.has_value());
    const std::string image = sim->fixture().UserImagePath(*id);
    using test::RunTool;
    using test::ShellQuote;
    const test::ToolResult verify = RunTool("sfdisk -V " + ShellQuote(image));
    EXPECT_EQ(verify.exitCode, 0) << verify.output;

    // The checker reads the partition from a sparse copy of its system area.
    std::vector<std::uint8_t> boot(512);
    {
        std::ifstream in(image, std::ios::binary);
        in.seekg(63 * 512);
        in.read(reinterpret_cast<char*>(boot.data()), 512);
    }
    auto le32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(boot[at] | boot[at + 1] << 8 | boot[at + 2] << 16 |
                                          static_cast<std::uint32_t>(boot[at + 3]) << 24);
    };
    const std::uint32_t partition = le32(32);
    const std::uint32_t system = 32 + 2 * le32(36) + boot[13];
    const std::string copy = folder.path() + "/partition.img";
    ASSERT_EQ(RunTool("truncate -s " + std::to_string(std::uint64_t{partition} * 512) + " " +
                      ShellQuote(copy))
                  .exitCode,
              0);
    ASSERT_EQ(RunTool("dd if=" + ShellQuote(image) + " of=" + ShellQuote(copy) +
                      " bs=512 skip=63 count=" + std::to_string(system) +
                      " conv=notrunc,sparse status=none")
                  .exitCode,
              0);
    const test::ToolResult check = RunTool("fsck.fat -n -v " + ShellQuote(copy));
    EXPECT_EQ(check.exitCode, 0) << check.output;
    const test::ToolResult info =
        RunTool("MTOOLS_SKIP_CHECK=1 minfo -i " + ShellQuote(image + "@@32256") + " ::");
    EXPECT_NE(info.output.find("KV SSD"), std::string::npos) << info.output;
}

}  // namespace
}  // namespace kv
