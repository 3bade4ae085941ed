// Drives of a virtual fixture bound to station ports, for the behaviour tests
// of the vendor access layer, loader mode and bridge handling: a fixture made
// from text in a fresh folder, the sim backend installed with its debugger
// channel recorded, and port i bound to the i-th drive location given.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "device/port_device.h"
#include "device/vendor_access_geometry.h"
#include "device/vendor_access_wait.h"
#include "device/vendor_block.h"
#include "emulator/controller.h"
#include "emulator/fixture.h"
#include "platform/sim/sim_platform.h"
#include "support/temp_folder.h"

namespace kv::test {

class TracedSim final : public platform::SimPlatform {
  public:
    using SimPlatform::SimPlatform;
    void DebuggerOutput(const char* text) override { traces.emplace_back(text); }
    std::vector<std::string> traces;
};

class DrivesTest : public ::testing::Test {
  protected:
    ~DrivesTest() override {
        SetVaFlashGeometryAll({});
        SetKeepWaitingLimitMs(0);
        PortDeviceTable().ClearAll();
        SetVendorBusMode(2);
        SetKeepVendorBusMode1(false);
        platform::SetCurrent(nullptr);
    }

    // `drives`: the drive sections; `locations[i]` goes to port i with `buses[i]`.
    void Load(const std::string& drives, const std::vector<std::string>& locations,
              const std::vector<BusPath>& buses) {
        const std::string file = folder.File("Fixture.ini");
        std::ofstream(file) << "[Fixture]\nTimeScale=0\n" << drives;
        std::string error;
        fixture = kv::emu::Fixture::Load(file, error);
        ASSERT_TRUE(fixture) << error;
        sim = std::make_unique<TracedSim>(*fixture);
        platform::SetCurrent(sim.get());
        PortDeviceTable().ClearAll();
        SetVendorBusMode(2);
        SetKeepVendorBusMode1(false);
        for (std::size_t i = 0; i < locations.size(); ++i) {
            const auto id = fixture->DeviceAt(locations[i]);
            ASSERT_TRUE(id) << locations[i];
            PortDeviceTable().Set(static_cast<int>(i), sim->DevicePathOf(*id), buses[i]);
        }
        // The emulated flash: 4 channels of 16 sectors per page.
        VaFlashGeometry g;
        g.Channels = 4;
        g.SectorsPerPage = 16;
        SetVaFlashGeometryAll(g);
    }

    std::int64_t PortTime(int port) { return platform::Current().portClock(port).NowMs(); }

    template <class F>
    auto WithController(const std::string& location, F f) {
        return fixture->DriveOf(*fixture->DeviceAt(location))
            ->WithParts(
                [&](kv::emu::Controller& c, kv::emu::Nand&, kv::emu::DriveState&) { return f(c); });
    }

    bool Traced(const std::string& text) const {
        for (const std::string& t : sim->traces) {
            if (t.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    TempFolder folder{"kvva"};
    std::unique_ptr<kv::emu::Fixture> fixture;
    std::unique_ptr<TracedSim> sim;
};

}  // namespace kv::test
