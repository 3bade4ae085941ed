// A station with one drive of the virtual fixture on port index 0: the
// sample part (4 channels, 2 chip enables), the sample program image and
// system firmware file in a folder of the test's own (also the working
// directory, where dumps land), and the procedure context the flash
// procedures take.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "config/settings_keys.h"
#include "config/settings_text.h"
#include "device/debug_log.h"
#include "device/port_device.h"
#include "device/vendor_access.h"
#include "emulator/fixture.h"
#include "firmware/code_download.h"
#include "firmware/debug_dump.h"
#include "firmware/firmware_files.h"
#include "flash/flash_config.h"
#include "flash/flash_parts_list.h"
#include "flash/flash_scan_stores.h"
#include "platform/platform.h"
#include "platform/sim/sim_platform.h"
#include "support/temp_folder.h"
#include "tools/sample_gdp_image.h"
#include "tools/sample_system_firmware.h"

namespace kv::test {

inline constexpr char kSamplePartLine[] =
    "MX64G08 MX29GB64A2 0x1851 2 2 0x2C 0x88 0x04 0x4B 0xA9 0x40 0 0 0 1 1 0";
inline constexpr int kSampleFactoryBad = 3;
inline constexpr int kSampleDies = 4 * 2;  // channels x chip enables, one die each

class SystemAreaFixture : public ::testing::Test {
  protected:
    // `driveKeys` are added to the drive's section.
    void StartDrive(const std::string& driveKeys) {
        working.reset();
        platform::SetCurrent(nullptr);
        sim.reset();
        fixture.reset();
        std::string error;
        ASSERT_TRUE(tools::WriteSampleGdpImage(folder.File("GDP.bin"), error)) << error;
        ASSERT_TRUE(tools::WriteSampleSystemFirmware(folder.path(), error)) << error;
        // Each drive keeps its state in a folder of its own.
        static int drives = 0;
        const std::string text =
            "[Fixture]\nTimeScale=0\nStateDir=state" + std::to_string(++drives) +
            "\nSeed=7\n[Drive 1.1]\nBridge=p713\n"
            "FlashId=2C 88 04 4B A9\nTypeWord=0x1851\nChannels=4\nBanks=2\nFactoryBad=" +
            std::to_string(kSampleFactoryBad) + "\n" + driveKeys;
        std::ofstream(folder.File("Fixture.ini"), std::ios::binary) << text;
        fixture = emu::Fixture::Load(folder.File("Fixture.ini"), error);
        ASSERT_TRUE(fixture) << error;
        sim = std::make_unique<platform::SimPlatform>(*fixture);
        platform::SetCurrent(sim.get());
        PortDeviceTable().ClearAll();
        PortDeviceTable().Set(0, sim->DevicePathOf(*fixture->DeviceAt("1.1")), BusPath::SataPath);
        ClearFlashStores(0);
        FlashStoresOf(0).Image.SataSpeed = 0x0E;

        config::SettingsText none;
        config::ReadSettingsKeys(none, settings);
        settings.block.Channel = 4;
        settings.block.Bank = 2;
        // A produced drive of the fixture carries no remap page.
        settings.block.RemapEnable = 0;
        std::strcpy(settings.block.ModelNum, "Korvane KVR51X 64GB SSD");
        std::strcpy(settings.block.FirmwareVer, "KV51A203");
        std::strcpy(settings.block.OUI, "5CD2E4");
        FlashPart part;
        ASSERT_TRUE(ParseFlashPartLine(kSamplePartLine, part));
        flash = SelectFlashPart(part, settings.block, settings.process);
        ASSERT_TRUE(flash.Valid) << flash.Problem;
        working = std::make_unique<ScopedWorkingFolder>(folder.path());
        SetDebugLogToFile(true);
        // The vendor feature and vendor commands on, as the items before these
        // leave them: carrier commands then reach the controller instead of
        // the user area.
        ASSERT_TRUE(VA_SetVendorFeature(0, true));
        ASSERT_TRUE(VA_EnableVendorCmd(0, 10));
    }

    void TearDown() override {
        SetDumpDebugFile(false);  // Upload leaves dumps on
        SetDebugLogToFile(false);
        if (HasFailure()) {
            // The station's trace of the drive, to see where it went wrong.
            std::ifstream log(folder.File("DbgMsg.txt"), std::ios::binary);
            std::cerr << log.rdbuf();
        }
        working.reset();
        PortDeviceTable().ClearAll();
        ClearFlashStores(0);
        platform::SetCurrent(nullptr);
    }

    ProcedureContext Context() const {
        return ProcedureContext{flash, settings.block, settings.process, folder.path() + "/"};
    }

    std::vector<FirmwareFileEntry> SataFiles() const {
        const FirmwareFileList list = BuildDownloadFileList(folder.path() + "/", true, false,
                                                            "SYS_S.bin", "", flash.PagesPerBlock);
        EXPECT_EQ(list.Outcome, FirmwareListOutcome::Ready);
        return list.Files;
    }

    TempFolder folder{"kv_sysarea"};
    std::unique_ptr<emu::Fixture> fixture;
    std::unique_ptr<platform::SimPlatform> sim;
    config::Settings settings;
    FlashConfig flash;
    std::unique_ptr<ScopedWorkingFolder> working;
    std::vector<std::uint8_t> work = std::vector<std::uint8_t>(64 * 1024, 0);
};

}  // namespace kv::test
