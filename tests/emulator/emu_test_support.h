// Helpers for the virtual fixture's byte-level tests: a fixture made from
// text in a fresh folder of its own, and the command blocks a station sends.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "emulator/fixture.h"

namespace kv::emu::test {

// A folder of its own under the test temp dir, removed at the end.
class TempFolder {
  public:
    TempFolder() {
        static std::atomic<int> counter{0};
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("kvemu_") + (info ? info->test_suite_name() : "x") + "_" +
                           (info ? info->name() : "y") + "_" + std::to_string(counter++);
        for (char& c : name) {
            if (c == '/') {
                c = '_';
            }
        }
        path_ = std::filesystem::path(::testing::TempDir()) / name;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    std::string Write(const std::string& file, const std::string& text) const {
        const auto p = path_ / file;
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }

  private:
    std::filesystem::path path_;
};

inline std::unique_ptr<Fixture> LoadFixture(const TempFolder& folder, const std::string& text) {
    std::string error;
    auto f = Fixture::Load(folder.Write("Fixture.ini", text), error);
    EXPECT_TRUE(f) << error;
    return f;
}

// One port's view of a drive, sending what the station sends.
struct Port {
    Fixture& fixture;
    DeviceId id;
    int busMode = 2;  // VendorBusMode
    bool usb = false;

    ExecuteResult Send(const std::vector<std::uint8_t>& cdb, DataDirection dir, std::uint8_t* data,
                       std::size_t length, std::uint32_t timeout = 10) {
        return fixture.Execute(id, cdb.data(), cdb.size(), dir, data, length, timeout);
    }
    static bool Good(const ExecuteResult& r) { return r.transportOk && r.scsiStatus == kScsiGood; }

    ExecuteResult Identify(std::uint8_t* buffer) {
        return Send({0xA1, 0x08, 0x0B, 0x00, 1, 0, 0, 0, 0xE0, 0xEC, 0, 0}, DataDirection::In,
                    buffer, 512);
    }
    ExecuteResult SetFeatures(std::uint8_t feature, std::uint8_t count) {
        return Send({0xA1, 0x06, 0x00, feature, count, 0, 0, 0, 0xE0, 0xEF, 0, 0},
                    DataDirection::None, nullptr, 0);
    }
    bool VendorFeatureOn() { return Good(SetFeatures(0xDC, 0x4B)); }

    std::vector<std::uint8_t> CarrierCdb(bool write, std::uint32_t sectors,
                                         std::uint8_t low) const {
        std::uint8_t protocol = 0;
        std::uint8_t opcode = 0;
        if (busMode == 2) {
            protocol = write ? 0x16 : 0x14;
            opcode = write ? 0x88 : 0x86;
        } else if (busMode == 1) {
            protocol = write ? 0x0A : 0x08;
            opcode = write ? 0x8F : 0x8A;
        } else {
            protocol = write ? 0x0A : 0x08;
            opcode = write ? 0xC5 : 0xC4;
        }
        return {0xA1,
                protocol,
                static_cast<std::uint8_t>(write ? 0x03 : 0x0B),
                0x00,
                static_cast<std::uint8_t>(sectors),
                low,
                0x34,
                0x12,
                0xE0,
                opcode,
                0,
                0};
    }
    ExecuteResult CarrierWrite(std::uint8_t* data, std::uint32_t sectors, std::uint8_t low) {
        return Send(CarrierCdb(true, sectors, low), DataDirection::Out, data, sectors * 512);
    }
    ExecuteResult CarrierRead(std::uint8_t* data, std::uint32_t sectors, std::uint8_t low) {
        return Send(CarrierCdb(false, sectors, low), DataDirection::In, data, sectors * 512);
    }

    // One vendor command the way the channel sends it on either bus path.
    // `block` holds the bytes from byte 2 (sub-code) on; byte 0 and 1 are added.
    bool Vendor(std::vector<std::uint8_t> tail, DataDirection dir, std::uint8_t* data,
                std::uint32_t sectors) {
        std::vector<std::uint8_t> block = {0xFF, static_cast<std::uint8_t>(usb ? 0x04 : 0xE5)};
        block.insert(block.end(), tail.begin(), tail.end());
        if (usb) {
            block.resize(12);
            return Good(
                Send(block, dir, data, dir == DataDirection::None ? 0 : sectors * 512u, 300));
        }
        std::array<std::uint8_t, 512> command{};
        std::copy(block.begin(), block.end(), command.begin());
        if (!Good(CarrierWrite(command.data(), 1, 0xFF))) {
            return false;
        }
        if (dir == DataDirection::None || sectors == 0) {
            return true;
        }
        return dir == DataDirection::In ? Good(CarrierRead(data, sectors, block[2]))
                                        : Good(CarrierWrite(data, sectors, block[2]));
    }
    bool EnableVendor(std::uint8_t mode) {
        return Vendor({0x83, mode}, DataDirection::None, nullptr, 0);
    }
    // VC_SYS_WriteMem of program RAM (selector 3, bit 30).
    bool WriteProgramRam(std::uint32_t address, std::uint8_t* data, std::uint32_t sectors) {
        const std::uint32_t a = address | 0x40000000u;
        return Vendor(
            {0x87, 3, static_cast<std::uint8_t>(a >> 24), static_cast<std::uint8_t>(a >> 16),
             static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a)},
            DataDirection::Out, data, sectors);
    }
    bool Jump() { return Vendor({0x82}, DataDirection::None, nullptr, 0); }
    // Loads a 128 KiB image with `kind` at 0x300 and jumps into it.
    bool RunImage(const char* kind) {
        std::vector<std::uint8_t> image(131072, 0x66);
        std::copy(kind, kind + 4, image.begin() + 0x300);
        for (std::uint32_t at = 0; at < image.size(); at += 65536) {
            if (!WriteProgramRam(at, image.data() + at, 128)) {
                return false;
            }
        }
        return Jump();
    }
    // Flash address layout of 0x09, 0x0D, 0x89, 0x8A (bytes 2..16).
    static std::vector<std::uint8_t> FlashAddress(std::uint8_t sub, int channel, int bank,
                                                  int block, int page, std::uint32_t offset = 0,
                                                  std::uint8_t mask = 0) {
        return {sub,
                static_cast<std::uint8_t>(channel),
                static_cast<std::uint8_t>(bank),
                static_cast<std::uint8_t>(block >> 8),
                static_cast<std::uint8_t>(block),
                static_cast<std::uint8_t>(page >> 8),
                static_cast<std::uint8_t>(page),
                0,
                0,
                0,
                static_cast<std::uint8_t>(offset >> 24),
                static_cast<std::uint8_t>(offset >> 16),
                static_cast<std::uint8_t>(offset >> 8),
                static_cast<std::uint8_t>(offset),
                mask};
    }
};

inline std::uint64_t IdentifyCapacity48(const std::uint8_t* id) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) {
        v = (v << 8) | id[200 + i];
    }
    return v;
}

inline std::uint32_t IdentifyCapacity28(const std::uint8_t* id) {
    return static_cast<std::uint32_t>(id[120]) | (static_cast<std::uint32_t>(id[121]) << 8) |
           (static_cast<std::uint32_t>(id[122]) << 16) |
           (static_cast<std::uint32_t>(id[123]) << 24);
}

inline std::string IdentifyModel(const std::uint8_t* id) {
    std::string s;
    for (int i = 0; i < 40; ++i) {
        s += static_cast<char>(id[54 + (i ^ 1)]);
    }
    return s;
}

// A test on a fixture of its own at TimeScale 0: Load() the drive sections,
// then reach a drive through At().
class FixtureTest : public ::testing::Test {
  protected:
    void Load(const std::string& drives) {
        fixture = LoadFixture(folder, "[Fixture]\nTimeScale=0\n" + drives);
        ASSERT_TRUE(fixture);
    }
    Port At(const char* location) { return Port{*fixture, *fixture->DeviceAt(location)}; }
    ControllerState StateOf(const Port& p) {
        return fixture->DriveOf(p.id)->WithParts(
            [](Controller& c, Nand&, DriveState&) { return c.state(); });
    }
    TempFolder folder;
    std::unique_ptr<Fixture> fixture;
};

}  // namespace kv::emu::test
