// A drive's flash with a diagnostic program running on it, driven the way
// the controller hands the station's vendor commands over: blocks in, bytes
// and status out. The program image is patched here from the image layout,
// field by field, the way the station patches it.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "emulator/clock.h"
#include "emulator/diag/diagnostic_program.h"
#include "emulator/drive_profile.h"
#include "emulator/drive_state.h"
#include "emulator/nand.h"
#include "emulator/nand_geometry.h"
#include "emulator/running_program.h"

namespace kv::emu::test {

using Bytes = std::vector<std::uint8_t>;

inline std::uint16_t Le16At(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// A 128 KiB image with the fields a station patches for `profile`'s flash.
inline Bytes PatchedImage(const DriveProfile& profile, const char* kind = "GDP_") {
    Bytes image(131072, 0x66);
    std::memcpy(image.data() + 0x300, kind, 4);
    std::memcpy(image.data() + 0x304, "112233", 6);
    std::fill(image.begin() + 0x500, image.begin() + 0x528, std::uint8_t{0});
    image[0x500] = static_cast<std::uint8_t>(profile.typeWord);
    image[0x501] = static_cast<std::uint8_t>(profile.typeWord >> 8);
    image[0x503] = static_cast<std::uint8_t>(profile.channels);
    image[0x504] = static_cast<std::uint8_t>(profile.banks);
    image[0x505] = 2;   // ECC mode
    image[0x508] = 68;  // reserved ratio 68/1000
    image[0x50B] = 1;   // chip enables per package
    for (int i = 0; i < 4; ++i) {
        image[0x510 + i * 2] = static_cast<std::uint8_t>(i);
        image[0x511 + i * 2] = 0;
    }
    image[0x518] = 64;
    image[0x520] = 48;  // defect ratio 48/1000
    image[0x521] = 0;
    image[0x522] = 0;
    for (int i = 0; i < 8; ++i) {
        image[0x528 + i] = static_cast<std::uint8_t>(i);
    }
    std::fill(image.begin() + 0x548, image.begin() + 0x578, std::uint8_t{0});
    const std::uint8_t pages[10] = {0, 1, 2, 3, 4, 5, 6, 7, 0x3C, 0x3D};
    std::copy(pages, pages + 10, image.begin() + 0x55A);
    return image;
}

// One drive: its fixture keys, its flash, its clock and saved areas, and the
// program running on it.
class DiagBench {
  public:
    explicit DiagBench(DriveProfile profile = {}, std::uint64_t seed = 7)
        : profile_(std::move(profile)) {
        const auto g = GeometryFromTypeWord(profile_.typeWord, profile_.channels, profile_.banks);
        EXPECT_TRUE(g.has_value());
        nand_ = std::make_unique<Nand>(*g, PlanBadBlocks(*g, profile_, seed));
        image = PatchedImage(profile_);
    }

    const DriveProfile& profile() const { return profile_; }
    Nand& nand() { return *nand_; }
    VirtualClock& clock() { return clock_; }
    DriveState& state() { return state_; }
    RunningProgram& program() { return *program_; }
    int pageBytes() const { return nand_->geometry().pageBytes(); }

    // The jump: a program made from the image as it is now.
    void Jump() {
        program_ = MakeDiagnosticProgram(ProgramContext{
            profile_, *nand_, clock_, state_, BusPath::Sata, ProgramKind::Diagnostic, image});
    }

    // A vendor command; `params` are the block bytes from 3 on.
    VendorAnswer Send(std::uint8_t sub, std::vector<std::uint8_t> params, Transfer transfer,
                      Bytes* data = nullptr) {
        VendorCommand c;
        c.block[0] = 0xFF;
        c.block[1] = 0xE5;
        c.block[2] = sub;
        for (std::size_t i = 0; i < params.size() && i + 3 < c.block.size(); ++i) {
            c.block[i + 3] = params[i];
        }
        c.transfer = transfer;
        if (data != nullptr) {
            c.data = *data;
            c.sectors = static_cast<std::uint32_t>(data->size() / 512);
        }
        return program_->Handle(c);
    }
    Bytes ReadIn(std::uint8_t sub, std::uint32_t sectors, std::vector<std::uint8_t> params = {}) {
        Bytes data(sectors * 512, 0xCC);
        const VendorAnswer a = Send(sub, std::move(params), Transfer::In, &data);
        EXPECT_TRUE(a.ok) << "sub-code " << int(sub);
        return data;
    }

    // VC_GDP_Exec and the station's polling: a read 30 ms after the start,
    // then one every 3 s while the program answers 0xAA.
    struct Run {
        bool started = false;
        std::uint8_t status = 0;
        int busyReads = 0;
    };
    Run Exec(int program, std::uint8_t flags) {
        Run run;
        run.started = Send(static_cast<std::uint8_t>(program), {flags}, Transfer::None).ok;
        if (!run.started) {
            return run;
        }
        clock_.Advance(30);
        for (int i = 0; i < 100; ++i) {
            run.status = program_->Status();
            if (run.status != 0xAA) {
                break;
            }
            ++run.busyReads;
            clock_.Advance(3000);
        }
        return run;
    }

    Bytes Result() { return ReadIn(0x06, 4); }
    Bytes FlashInfo() { return ReadIn(0x05, 1); }
    std::vector<int> SysBlocks() {
        const Bytes b = ReadIn(0x07, 1);
        std::vector<int> list;
        for (std::size_t i = 0; i + 1 < b.size() && Le16At(b, i) != 0xFFFF; i += 2) {
            list.push_back(Le16At(b, i));
        }
        return list;
    }

    // Page `page` of `block` on `channel`, chip enable `ce`.
    Bytes Page(int channel, int ce, int block, int page) {
        Bytes out(static_cast<std::size_t>(pageBytes()));
        EXPECT_EQ(nand_->ReadPage({channel, ce, block, page}, out), NandStatus::Ok);
        return out;
    }
    bool Programmed(int channel, int ce, int block, int page) {
        return nand_->IsProgrammed({channel, ce, block, page});
    }

    Bytes image;

  private:
    DriveProfile profile_;
    std::unique_ptr<Nand> nand_;
    VirtualClock clock_;
    DriveState state_;
    std::unique_ptr<RunningProgram> program_;
};

// The 16 signature bytes of a table page.
inline Bytes Signature(const std::array<std::uint8_t, 4>& tag) {
    Bytes s(tag.begin(), tag.end());
    const char text[] = "KVR51X-V001";
    s.insert(s.end(), text, text + 12);
    return s;
}
inline const Bytes kDefectSignature = Signature({0xE9, 0x86, 0xAA, 0x55});
inline const Bytes kEarlySignature = Signature({0x45, 0x79, 0xAA, 0x55});
inline const Bytes kRemapSignature = Signature({0x9E, 0x68, 0x55, 0xAA});
inline const Bytes kSmartSignature = Signature({0x68, 0x12, 0x16, 0x50});
inline const Bytes kSystemSignature = [] {
    const char text[] = "SYSPKVR51X-V001";
    return Bytes(text, text + 16);
}();

inline bool StartsWith(const Bytes& page, const Bytes& prefix) {
    return page.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), page.begin());
}

// The records of a result report: code and offset of each.
struct Record {
    int code;
    std::size_t at;
};
inline std::vector<Record> Records(const Bytes& report) {
    std::vector<Record> list;
    std::size_t at = 1;
    for (int i = 0; i < report[0] && at < report.size(); ++i) {
        list.push_back({report[at], at});
        at += report[at] == 128 || report[at] == 130 ? 17 : 16;
    }
    return list;
}

}  // namespace kv::emu::test
