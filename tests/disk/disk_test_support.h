// A virtual fixture of produced drives on the sim backend, each bound to a
// port (port k = drive "1.(k+1)"), for the disk-level tests. Time runs only by
// the waits made (TimeScale 0), so a volume delay costs no real time. The
// formatter's console report is captured instead of printed.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "device/port_device.h"
#include "disk/format_output.h"
#include "disk/present_ports.h"
#include "emulator/fixture.h"
#include "platform/sim/sim_platform.h"
#include "support/temp_folder.h"

namespace kv::test {

// What one drive of the fixture file says beyond "Boot=firmware".
struct DriveSetup {
    std::uint64_t sectors = 1024000;  // 500 MiB
    std::string extra;                // more "Key=value" lines
};

class CapturedFormatOutput final : public kv::disk::FormatOutput {
  public:
    void Console(const std::string& text) override { console += text; }
    void ZeroDivisor(const char* name) override { zeroDivisors += std::string(name) + "\n"; }
    std::string console;
    std::string zeroDivisors;
};

class DiskFixture {
  public:
    explicit DiskFixture(const std::vector<DriveSetup>& drives) : folder_("kvdisk") {
        std::string text = "[Fixture]\nTimeScale=0\nRootHubs=8\n";
        for (std::size_t i = 0; i < drives.size(); ++i) {
            text += "[Drive 1." + std::to_string(i + 1) + "]\nBridge=p713\nBoot=firmware\n";
            text += "UserSectors=" + std::to_string(drives[i].sectors) + "\n" + drives[i].extra;
        }
        const std::string file = folder_.File("Fixture.ini");
        std::ofstream(file) << text;
        std::string error;
        fixture_ = kv::emu::Fixture::Load(file, error);
        EXPECT_TRUE(fixture_) << error;
        if (!fixture_) {
            return;
        }
        sim_ = std::make_unique<kv::platform::SimPlatform>(*fixture_);
        kv::platform::SetCurrent(sim_.get());
        PortDeviceTable().ClearAll();
        for (std::size_t i = 0; i < drives.size(); ++i) {
            const std::string path = PathOf(static_cast<int>(i));
            PortDeviceTable().Set(static_cast<int>(i), path, BusPath::SataPath);
            sim_->PortPathChanged(static_cast<int>(i), path);
        }
        kv::disk::SetFormatOutput(&output);
        kv::disk::SetPresentPortCount(static_cast<int>(drives.size()));
    }
    ~DiskFixture() {
        kv::disk::SetFormatOutput(nullptr);
        kv::disk::SetPresentPortCount(1);
        PortDeviceTable().ClearAll();
        kv::platform::SetCurrent(nullptr);
        sim_.reset();
        fixture_.reset();
    }
    DiskFixture(const DiskFixture&) = delete;
    DiskFixture& operator=(const DiskFixture&) = delete;

    bool ok() const { return sim_ != nullptr; }
    kv::emu::Fixture& fixture() { return *fixture_; }
    kv::platform::SimPlatform& sim() { return *sim_; }
    kv::emu::DeviceId Id(int port) const {
        return *fixture_->DeviceAt("1." + std::to_string(port + 1));
    }
    std::string PathOf(int port) const { return sim_->DevicePathOf(Id(port)); }
    std::string ImageOf(int port) const { return fixture_->UserImagePath(Id(port)); }
    const TempFolder& folder() const { return folder_; }

    // Sectors of a drive's user area as its own disk sees them.
    std::vector<std::uint8_t> Read(int port, std::uint64_t lba, std::size_t sectors) {
        std::vector<std::uint8_t> out(sectors * 512);
        EXPECT_TRUE(fixture_->ReadDisk(Id(port), lba, out));
        return out;
    }

    CapturedFormatOutput output;

  private:
    TempFolder folder_;
    std::unique_ptr<kv::emu::Fixture> fixture_;
    std::unique_ptr<kv::platform::SimPlatform> sim_;
};

inline std::uint32_t Le32At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) |
           (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[at + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

}  // namespace kv::test
