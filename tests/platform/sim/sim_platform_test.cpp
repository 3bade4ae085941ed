#include "platform/sim/sim_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "device/ata_commands.h"
#include "device/port_device.h"
#include "device/transport.h"
#include "device/vendor_channel.h"
#include "support/temp_folder.h"

namespace kv::platform {
namespace {

// Three drives: a SAT bridge with a produced drive, a produced drive that
// hangs at its first sector write, and a drive that takes vendor blocks itself.
constexpr const char* kFixtureText =
    "[Fixture]\n"
    "TimeScale=0\n"
    "[Drive 1.1]\n"
    "Bridge=p713\n"
    "Boot=firmware\n"
    "[Drive 1.2]\n"
    "Bridge=p710\n"
    "Boot=firmware\n"
    "Fault=hang:write\n"
    "[Drive 1.3]\n"
    "Bridge=p730\n";

const std::uint8_t kInquiryCdb[12] = {0x12, 0, 0, 0, 0x28, 0, 0, 0, 0, 0, 0, 0};

// The sim backend with its debugger channel recorded, so that the
// transport's traces can be checked.
class TracingSim final : public SimPlatform {
  public:
    using SimPlatform::SimPlatform;
    void DebuggerOutput(const char* text) override { traces.emplace_back(text); }
    std::vector<std::string> traces;
};

class SimPlatformTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string file = folder.File("Fixture.ini");
        std::ofstream(file) << kFixtureText;
        std::string error;
        fixture = kv::emu::Fixture::Load(file, error);
        ASSERT_TRUE(fixture) << error;
        sim = std::make_unique<TracingSim>(*fixture);
        SetCurrent(sim.get());
        PortDeviceTable().ClearAll();
    }
    void TearDown() override {
        PortDeviceTable().ClearAll();
        SetCurrent(nullptr);
    }
    std::string PathAt(const std::string& location) const {
        return sim->DevicePathOf(*fixture->DeviceAt(location));
    }
    // Ports 0..2 carry the drives of 1.1, 1.2 and 1.3.
    void SetPorts() {
        PortDeviceTable().Set(0, PathAt("1.1"), BusPath::SataPath);
        PortDeviceTable().Set(1, PathAt("1.2"), BusPath::SataPath);
        PortDeviceTable().Set(2, PathAt("1.3"), BusPath::UsbPath);
    }

    test::TempFolder folder{"kvsim"};
    std::unique_ptr<kv::emu::Fixture> fixture;
    std::unique_ptr<TracingSim> sim;
};

TEST_F(SimPlatformTest, DevicePathsLookLikeThePlatformsAndStayWithTheDrive) {
    const std::vector<SimDevice> devices = sim->PresentDevices();
    ASSERT_EQ(devices.size(), 3u);
    std::set<std::string> paths;
    std::set<std::string> locations;
    for (const SimDevice& d : devices) {
        SCOPED_TRACE(d.location);
        EXPECT_EQ(d.path, sim->DevicePathOf(d.id));
        EXPECT_TRUE(std::none_of(d.path.begin(), d.path.end(),
                                 [](unsigned char c) { return std::isupper(c) != 0; }));
        EXPECT_NE(d.path.find("usbstor"), std::string::npos);
        EXPECT_NE(d.vendorId, 0);
        EXPECT_FALSE(d.usbInstanceId.empty());
        // Discovery joins a disk to its USB storage entry by the instance ID
        // without "USBSTOR\", lower case, its first '\' turned into '#'.
        std::string key = d.storageInstanceId.substr(8);
        std::transform(key.begin(), key.end(), key.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        key[key.find('\\')] = '#';
        EXPECT_NE(d.path.find(key), std::string::npos) << d.path;
        EXPECT_EQ(sim->DeviceOfPath(d.path), d.id);
        paths.insert(d.path);
        locations.insert(d.location);
    }
    EXPECT_EQ(paths.size(), 3u);
    EXPECT_EQ(locations, (std::set<std::string>{"1.1", "1.2", "1.3"}));

    // The same drive on another port keeps its path.
    const kv::emu::DeviceId id = *fixture->DeviceAt("1.3");
    const std::string before = sim->DevicePathOf(id);
    ASSERT_TRUE(fixture->Unplug("1.3"));
    EXPECT_FALSE(sim->DeviceOfPath(before));
    std::string error;
    ASSERT_TRUE(fixture->Plug("1.3", "1.5", error)) << error;
    EXPECT_EQ(fixture->DeviceAt("1.5"), id);
    EXPECT_EQ(sim->DevicePathOf(id), before);
    EXPECT_EQ(sim->DeviceOfPath(before), id);
}

TEST_F(SimPlatformTest, InquiryReturnsTheBridgeCodeOfEachDrive) {
    const struct {
        const char* location;
        const char* code;
    } cases[] = {{"1.1", "p713"}, {"1.2", "p710"}, {"1.3", "p730"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location);
        std::uint8_t data[40] = {};
        std::uint32_t transferred = 0;
        std::uint8_t status = 0xFF;
        ASSERT_EQ(ReadSCSICommand(PathAt(c.location), kInquiryCdb, 12, data, sizeof data,
                                  &transferred, &status),
                  1);
        EXPECT_EQ(status, kScsiStatusGood);
        EXPECT_EQ(transferred, 40u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(data + 36), 4), c.code);
    }
}

TEST_F(SimPlatformTest, IdentifyOnASataPathDriveFillsAllOfItsSector) {
    SetPorts();
    std::uint8_t id[512];
    std::fill(std::begin(id), std::end(id), 0xCC);
    ASSERT_EQ(ATA_Identify(0, id, 1), kCommandOk);
    // The integrity word closes the sector: signature 0xA5, bytes summing to 0.
    EXPECT_EQ(id[510], 0xA5);
    std::uint8_t sum = 0;
    for (const std::uint8_t b : id) {
        sum = static_cast<std::uint8_t>(sum + b);
    }
    EXPECT_EQ(sum, 0);
}

TEST_F(SimPlatformTest, DeviceErrorComesBackAsCheckCondition) {
    SetPorts();
    // READ(10) past the end of the disk: the drive aborts it.
    const std::uint8_t read10[10] = {0x28, 0, 0xFF, 0xFF, 0xFF, 0xF0, 0, 0, 1, 0};
    std::uint8_t sector[512];
    std::uint8_t status = 0;
    EXPECT_EQ(SendPortCommand(0, true, read10, 10, sector, sizeof sector, &status), kPortCommandOk);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(ReadSectorsByPath(PathAt("1.1"), sector, 0xFFFFFFF0u, 512), 0);
    EXPECT_TRUE(sim->traces.empty());
}

TEST_F(SimPlatformTest, UnpluggedDriveFailsToOpenAndTheTransportTracesItsPath) {
    SetPorts();
    const std::string path = PathAt("1.1");
    ASSERT_TRUE(fixture->Unplug("1.1"));
    std::uint32_t lastError = 0;
    EXPECT_EQ(sim->OpenDevice(path, lastError), nullptr);
    EXPECT_EQ(lastError, 2u);
    lastError = 0;
    EXPECT_EQ(sim->OpenDevice("\\\\?\\usbstor#nothing", lastError), nullptr);
    EXPECT_EQ(lastError, 2u);

    std::uint8_t data[40];
    EXPECT_EQ(SendPortCommand(0, true, kInquiryCdb, 12, data, sizeof data), kPortRequestFailed);
    EXPECT_EQ(sim->traces,
              (std::vector<std::string>{
                  "ReadSCSICommandWithTimeOutValue(INVALID_HANDLE_VALUE) = " + path + "\r\n"}));
    // The other drives still answer.
    EXPECT_EQ(SendPortCommand(1, true, kInquiryCdb, 12, data, sizeof data), kPortCommandOk);
}

TEST_F(SimPlatformTest, SafelyRemovedDriveHasNoDiskPathLeft) {
    const kv::emu::DeviceId id = *fixture->DeviceAt("1.2");
    const std::string path = sim->DevicePathOf(id);
    std::string veto;
    ASSERT_EQ(fixture->QueryAndRemove(id, veto), kv::emu::RemovalResult::Removed) << veto;
    EXPECT_EQ(sim->PresentDevices().size(), 2u);
    std::uint32_t lastError = 0;
    EXPECT_EQ(sim->OpenDevice(path, lastError), nullptr);
    EXPECT_EQ(lastError, 2u);
}

TEST_F(SimPlatformTest, HandleOfADriveUnpluggedAfterTheOpenReportsItGone) {
    std::uint32_t lastError = 0;
    std::unique_ptr<DeviceHandle> handle = sim->OpenDevice(PathAt("1.1"), lastError);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(lastError, 0u);
    ASSERT_TRUE(fixture->Unplug("1.1"));
    PassThroughRequest request;
    std::copy(std::begin(kInquiryCdb), std::end(kInquiryCdb), request.cdb);
    request.cdbLength = 12;
    std::uint8_t data[40];
    request.dataIn = true;
    request.buffer = data;
    request.length = sizeof data;
    request.timeoutSeconds = 5;
    const PassThroughResult r = sim->PassThrough(*handle, request);
    EXPECT_FALSE(r.callOk);
    EXPECT_EQ(r.lastError, 2u);
    EXPECT_EQ(r.transferred, 0u);
}

TEST_F(SimPlatformTest, HungDriveRunsIntoItsTimeOutOnItsPortsClock) {
    SetPorts();
    Clock& hungClock = Current().portClock(1);
    Clock& otherClock = Current().portClock(0);
    const std::int64_t hungBefore = hungClock.NowMs();
    const std::int64_t otherBefore = otherClock.NowMs();
    const std::uint8_t write10[10] = {0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    std::uint8_t sector[512] = {1, 2, 3};
    std::uint32_t transferred = 7;
    EXPECT_EQ(WriteSCSICommandWithTimeOutValue(PathAt("1.2"), write10, 10, sector, sizeof sector,
                                               &transferred, 10),
              0);
    EXPECT_EQ(transferred, 0u);
    EXPECT_EQ(hungClock.NowMs() - hungBefore, 10000);
    EXPECT_EQ(otherClock.NowMs(), otherBefore);
    EXPECT_EQ(
        sim->traces,
        (std::vector<std::string>{"LastError(WriteSCSICommandWithTimeOutValue)[1] = 121\r\n"}));
}

TEST_F(SimPlatformTest, EachPortsWaitsAdvanceOnlyItsOwnClock) {
    SetPorts();
    Clock& port0 = Current().portClock(0);
    Clock& port1 = Current().portClock(1);
    Clock& main = Current().clock();
    EXPECT_NE(&port0, &port1);
    const std::int64_t p0 = port0.NowMs();
    const std::int64_t p1 = port1.NowMs();
    const std::int64_t m = main.NowMs();
    EXPECT_TRUE(port0.SleepMs(2500));
    EXPECT_EQ(port0.NowMs() - p0, 2500);
    EXPECT_EQ(port1.NowMs(), p1);
    EXPECT_EQ(main.NowMs(), m);
    // The port's clock is its drive's.
    EXPECT_EQ(fixture->DeviceClock(*fixture->DeviceAt("1.1"))->NowMs(), port0.NowMs());
    // A cancelled wait stops at once.
    const std::atomic<bool> cancel{true};
    EXPECT_FALSE(port0.SleepMs(1000, &cancel));
    EXPECT_EQ(port0.NowMs() - p0, 2500);
    // A port without a path, or with a path no drive answers, waits on the main clock.
    EXPECT_EQ(&Current().portClock(7), &main);
    PortDeviceTable().Set(3, "\\\\?\\usbstor#gone", BusPath::SataPath);
    EXPECT_EQ(&Current().portClock(3), &main);
    EXPECT_EQ(&Current().portClock(-1), &main);
}

TEST_F(SimPlatformTest, MalformedRequestsAreRefusedAsInvalidParameters) {
    std::uint32_t lastError = 0;
    std::unique_ptr<DeviceHandle> handle = sim->OpenDevice(PathAt("1.1"), lastError);
    ASSERT_NE(handle, nullptr);
    std::uint8_t data[2] = {};
    PassThroughRequest oneByte;
    std::copy(std::begin(kInquiryCdb), std::end(kInquiryCdb), oneByte.cdb);
    oneByte.cdbLength = 12;
    oneByte.dataIn = true;
    oneByte.buffer = data;
    oneByte.length = 1;
    PassThroughRequest longCdb = oneByte;
    longCdb.length = 2;
    longCdb.cdbLength = 17;
    PassThroughRequest noBuffer = longCdb;
    noBuffer.cdbLength = 12;
    noBuffer.buffer = nullptr;
    for (PassThroughRequest* request : {&oneByte, &longCdb, &noBuffer}) {
        const PassThroughResult r = sim->PassThrough(*handle, *request);
        EXPECT_FALSE(r.callOk);
        EXPECT_EQ(r.lastError, 87u);
    }
}

TEST(SimPlatformLoad, OwnsTheFixtureItLoadsAndNamesABadFile) {
    test::TempFolder folder{"kvsimload"};
    std::string error;
    EXPECT_EQ(SimPlatform::Load(folder.File("missing.ini"), error), nullptr);
    EXPECT_FALSE(error.empty());

    const std::string file = folder.File("Fixture.ini");
    std::ofstream(file) << "[Fixture]\nTimeScale=0\nBogus=1\n";
    error.clear();
    EXPECT_EQ(SimPlatform::Load(file, error), nullptr);
    EXPECT_NE(error.find("Bogus"), std::string::npos) << error;

    std::ofstream(file) << kFixtureText;
    error.clear();
    std::unique_ptr<SimPlatform> sim = SimPlatform::Load(file, error);
    ASSERT_NE(sim, nullptr) << error;
    EXPECT_EQ(sim->PresentDevices().size(), 3u);
    EXPECT_EQ(sim->ExecutableFolder(), HostPlatform().ExecutableFolder());
}

}  // namespace
}  // namespace kv::platform
