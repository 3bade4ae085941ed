#include "device/enum_usb_device.h"

#include <gtest/gtest.h>

#include "device/discovery_device_change.h"
#include "discovery_test_support.h"

namespace kv {
namespace {

class DiscoveryEnum : public test::DiscoveryTest {};

constexpr const char* kThreeDrives =
    "RootHubs=4\n[Drive 1.1]\nBridge=p713\n[Drive 1.2]\nBridge=p712\n[Drive 1.3]\nBridge=p730\n";

TEST_F(DiscoveryEnum, RescanFillsThePortsRedrawsAndClearsAGoneDrive) {
    Load(kThreeDrives);
    ASSERT_TRUE(EnumUSBDevice(session));
    EXPECT_EQ(session.lastPresent, 3);
    EXPECT_TRUE(window.startEnabled);
    EXPECT_EQ(window.safeRemove, SafeRemoveColour::Normal);
    EXPECT_EQ(window.redraws, 1);
    EXPECT_TRUE(window.views[0].panelVisible);
    EXPECT_EQ(CountTraced("EnumUSBDevice 1 \r\n"), 1);
    EXPECT_TRUE(Traced("EnumUSBDevice 4 \r\n"));
    EXPECT_TRUE(Traced("EnumUSBDevice 5 \r\n"));

    ASSERT_TRUE(fixture->Unplug("1.2"));
    window.blanked.clear();
    ASSERT_TRUE(EnumUSBDevice(session));
    EXPECT_EQ(session.lastPresent, 2);
    EXPECT_EQ(ports[1].Attached, 0);
    EXPECT_EQ(ports[1].DevicePath[0], '\0');
    EXPECT_EQ(PortDeviceTable().Get(1).DevicePath, "");
    EXPECT_EQ(window.blanked, (std::vector<int>{1, 3}));  // the gone drive and the empty port

    for (const char* location : {"1.1", "1.3"}) {
        ASSERT_TRUE(fixture->Unplug(location));
    }
    ASSERT_TRUE(EnumUSBDevice(session));
    EXPECT_EQ(session.lastPresent, 0);
    EXPECT_FALSE(window.startEnabled);
    EXPECT_EQ(window.safeRemove, SafeRemoveColour::Green);
}

TEST_F(DiscoveryEnum, StartWaitsForTheConnectDeviceNumber) {
    const struct {
        int connectDevNum;
        bool start;
    } cases[] = {{0, true}, {3, true}, {4, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.connectDevNum);
        Load(kThreeDrives);
        settings.block.ConnectDevNum = static_cast<std::uint8_t>(c.connectDevNum);
        window.startEnabled = !c.start;
        ASSERT_TRUE(EnumUSBDevice(session));
        EXPECT_EQ(window.startEnabled, c.start);
    }
}

TEST_F(DiscoveryEnum, AnOpenInputPromptHoldsTheRescanInDirectInputModeOnly) {
    Load(kThreeDrives);
    window.promptOpen = true;
    EXPECT_FALSE(EnumUSBDevice(session));
    EXPECT_FALSE(Traced("EnumUSBDevice 1 \r\n"));
    settings.block.BarCodeInputMode = 1;
    EXPECT_TRUE(EnumUSBDevice(session));
    EXPECT_EQ(session.lastPresent, 3);
}

TEST_F(DiscoveryEnum, PlugEventsCoalesceIntoOneRescanAfterTheLastArrival) {
    Load(kThreeDrives);
    for (const char* location : {"1.1", "1.2", "1.3"}) {
        ASSERT_TRUE(fixture->Unplug(location));
    }
    DeviceChangeMonitor monitor(session);
    ASSERT_TRUE(monitor.RegisterForDeviceChanges());
    platform::Clock& clock = sim->clock();
    std::string error;
    for (const char* location : {"1.1", "1.2", "1.3"}) {
        ASSERT_TRUE(fixture->Plug(location, location, error)) << error;
        EXPECT_FALSE(monitor.Pump());
        clock.SleepMs(400);
    }
    EXPECT_EQ(CountTraced("Normal Plug-in event captured\r\n"), 3);
    EXPECT_FALSE(window.startEnabled);
    clock.SleepMs(1099);  // 1,499 ms after the last arrival
    EXPECT_FALSE(monitor.Pump());
    clock.SleepMs(1);
    EXPECT_TRUE(monitor.Pump());
    EXPECT_FALSE(monitor.Pump());
    EXPECT_EQ(CountTraced("EnumUSBDevice 1 \r\n"), 1);
    EXPECT_EQ(session.lastPresent, 3);
    EXPECT_TRUE(window.startEnabled);
}

TEST_F(DiscoveryEnum, UnplugRescansSoonUnlessFlashAutoDetectOrARunHoldsIt) {
    const struct {
        const char* name;
        bool autoDetect;
        bool running;
        bool rescan;
        const char* trace;
    } cases[] = {
        {"idle", true, false, true, "Normal Unplug event captured\r\n"},
        {"auto detect running", false, false, false, "DeviceChange by FlashAutoDetectBtn \r\n"},
        {"run in progress", true, true, false, "DeviceChange out \r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Load(kThreeDrives);
        ASSERT_TRUE(EnumUSBDevice(session));
        DeviceChangeMonitor monitor(session);
        ASSERT_TRUE(monitor.RegisterForDeviceChanges());
        window.autoDetect = c.autoDetect;
        window.running = c.running;
        sim->ClearTraces();
        ASSERT_TRUE(fixture->Unplug("1.2"));
        EXPECT_FALSE(monitor.Pump());
        EXPECT_TRUE(Traced(c.trace));
        EXPECT_EQ(Traced("Normal Unplug event captured\r\n"), !c.running);
        sim->clock().SleepMs(200);
        EXPECT_EQ(monitor.Pump(), c.rescan);
        EXPECT_EQ(session.lastPresent, c.rescan ? 2 : 3);
    }
}

TEST_F(DiscoveryEnum, ResetAndRescanRetriesSevenTimesAndLogsTheGoneDrivesPath) {
    Load(kThreeDrives);
    ASSERT_TRUE(EnumUSBDevice(session));
    EXPECT_TRUE(ResetAndRescan(session));
    EXPECT_EQ(window.pumps, 0);

    const std::string gone = PathAt("1.2");
    ASSERT_TRUE(fixture->Unplug("1.2"));
    const std::int64_t before = sim->clock().NowMs();
    EXPECT_FALSE(ResetAndRescan(session));
    // Six waits of 3 s between the seven attempts, the window kept alive.
    EXPECT_GE(sim->clock().NowMs() - before, 6 * kRescanWaitMs);
    EXPECT_GT(window.pumps, 0);
    EXPECT_TRUE(TracedContaining(gone)) << "the failed open names the path";
    EXPECT_EQ(ports[1].Present, 0);

    // Plugged back, the count of the last refresh is found at once.
    std::string error;
    ASSERT_TRUE(fixture->Plug("1.2", "1.2", error)) << error;
    EXPECT_TRUE(ResetAndRescan(session));
}

}  // namespace
}  // namespace kv
