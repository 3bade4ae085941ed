// Device discovery against the virtual fixture: a fixture of the test's own on
// the sim backend, the debug trace it leaves, and a main window that redraws
// the station's panels and notes what discovery asked of it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "config/settings_keys.h"
#include "device/discovery_session.h"
#include "device/port_device.h"
#include "device/vendor_block.h"
#include "emulator/fixture.h"
#include "platform/sim/sim_platform.h"
#include "run/port_status.h"
#include "support/temp_folder.h"

namespace kv::test {

// The sim backend with its debugger channel recorded.
class TracingSim final : public platform::SimPlatform {
  public:
    using SimPlatform::SimPlatform;
    void DebuggerOutput(const char* text) override {
        std::lock_guard<std::mutex> hold(mutex_);
        traces_.emplace_back(text);
    }
    std::vector<std::string> traces() {
        std::lock_guard<std::mutex> hold(mutex_);
        return traces_;
    }
    void ClearTraces() {
        std::lock_guard<std::mutex> hold(mutex_);
        traces_.clear();
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> traces_;
};

class RecordingWindow : public DiscoveryWindow {
  public:
    explicit RecordingWindow(PortRecord (&ports)[kMaxPorts]) : ports_(ports) {}

    bool InputPromptOpen() override { return promptOpen; }
    bool RunInProgress() override { return running; }
    bool AutoDetectEnabled() override { return autoDetect; }
    void SetStartEnabled(bool enabled) override { startEnabled = enabled; }
    void SetSafeRemoveColour(SafeRemoveColour colour) override { safeRemove = colour; }
    void BlankPortPanel(int port) override { blanked.push_back(port); }
    void RedrawPanels(int portCount) override {
        ++redraws;
        UpdateDrawPanel(ports_, portCount, views, yield);
    }
    void ShowWarning(const std::string& text, const std::string& caption) override {
        warnings.push_back(caption + ": " + text);
    }
    void Pump() override { ++pumps; }

    bool promptOpen = false;
    bool running = false;
    bool autoDetect = true;
    bool startEnabled = false;
    SafeRemoveColour safeRemove = SafeRemoveColour::Normal;
    std::vector<int> blanked;
    int redraws = 0;
    int pumps = 0;
    std::vector<std::string> warnings;
    PortView views[kMaxPorts];
    YieldCounters yield;

  private:
    PortRecord (&ports_)[kMaxPorts];
};

class DiscoveryTest : public ::testing::Test {
  protected:
    void TearDown() override {
        PortDeviceTable().ClearAll();
        platform::SetCurrent(nullptr);
        SetVendorBusMode(2);
        SetKeepVendorBusMode1(false);
    }
    // `text` is the fixture file; TimeScale 0 is added.
    void Load(const std::string& text) {
        platform::SetCurrent(nullptr);
        sim.reset();
        fixture.reset();
        SetVendorBusMode(2);
        SetKeepVendorBusMode1(false);
        const std::string file = folder.File("Fixture.ini");
        std::ofstream(file) << "[Fixture]\nTimeScale=0\n" << text;
        std::string error;
        fixture = kv::emu::Fixture::Load(file, error);
        ASSERT_TRUE(fixture) << error;
        sim = std::make_unique<TracingSim>(*fixture);
        platform::SetCurrent(sim.get());
        PortDeviceTable().ClearAll();
        settings.process.SataBusMode = 2;
    }
    int CountTraced(const std::string& line) {
        const std::vector<std::string> t = sim->traces();
        return static_cast<int>(std::count(t.begin(), t.end(), line));
    }
    bool Traced(const std::string& line) { return CountTraced(line) > 0; }
    bool TracedContaining(const std::string& part) {
        for (const std::string& t : sim->traces()) {
            if (t.find(part) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    std::string PathAt(const std::string& location) {
        return sim->DevicePathOf(*fixture->DeviceAt(location));
    }

    TempFolder folder{"kvdisc"};
    ScopedLockFolder locks;
    std::unique_ptr<kv::emu::Fixture> fixture;
    std::unique_ptr<TracingSim> sim;
    PortRecord ports[kMaxPorts];
    config::Settings settings;
    RecordingWindow window{ports};
    DiscoverySession session{ports, settings, window};
};

}  // namespace kv::test
