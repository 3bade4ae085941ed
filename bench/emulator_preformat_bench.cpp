// A pre-format of a 4-channel, 2-bank, 4,096-block drive run by the emulated
// diagnostic program at time scale 0: the program image is loaded, program 3
// is started with a raw vendor block and its status polled the way the
// station polls it (30 ms, then every 3 s of the drive's clock) until it ends.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "emulator/clock.h"
#include "emulator/diag/diagnostic_program.h"
#include "emulator/drive_profile.h"
#include "emulator/drive_state.h"
#include "emulator/nand.h"
#include "emulator/nand_geometry.h"
#include "emulator/running_program.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kPreFormatFlags = 0x08;
constexpr std::uint8_t kPreFormatDone = 0x0A;
constexpr std::uint8_t kStillWorking = 0xAA;

// A 128 KiB diagnostic program image with the flash header, code block list,
// bank set and runtime fields a station patches in for the drive's flash.
Bytes PatchedImage(const kv::emu::DriveProfile& profile) {
    Bytes image(131072, 0x66);
    std::memcpy(image.data() + 0x300, "GDP_", 4);
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
    for (int i = 0; i < 8; ++i) {
        image[0x528 + i] = static_cast<std::uint8_t>(i);
    }
    std::fill(image.begin() + 0x548, image.begin() + 0x578, std::uint8_t{0});
    const std::uint8_t pages[10] = {0, 1, 2, 3, 4, 5, 6, 7, 0x3C, 0x3D};
    std::copy(pages, pages + 10, image.begin() + 0x55A);
    return image;
}

// A vendor block as it reaches the controller over the SATA path.
kv::emu::VendorCommand Block(std::uint8_t subCode, std::uint8_t byte3) {
    kv::emu::VendorCommand c;
    c.block[0] = 0xFF;
    c.block[1] = 0xE5;
    c.block[2] = subCode;
    c.block[3] = byte3;
    return c;
}

// One drive's flash with the program just jumped into.
struct Drive {
    explicit Drive(const kv::emu::DriveProfile& p, const kv::emu::NandGeometry& g)
        : profile(p), nand(g, kv::emu::PlanBadBlocks(g, p, 7)) {
        program = kv::emu::MakeDiagnosticProgram(
            kv::emu::ProgramContext{profile, nand, clock, state, kv::emu::BusPath::Sata,
                                    kv::emu::ProgramKind::Diagnostic, PatchedImage(profile)});
    }
    kv::emu::DriveProfile profile;
    kv::emu::Nand nand;
    kv::emu::VirtualClock clock;
    kv::emu::DriveState state;
    std::unique_ptr<kv::emu::RunningProgram> program;
};

void BM_FixturePreFormat(benchmark::State& state) {
    kv::emu::DriveProfile profile;  // TypeWord 0x084A: 4,096 blocks; 4 channels, 2 banks
    profile.factoryBadPerDie = 12;
    const std::optional<kv::emu::NandGeometry> g =
        kv::emu::GeometryFromTypeWord(profile.typeWord, profile.channels, profile.banks);
    if (!g || g->blocksPerCe != 4096) {
        state.SkipWithError("unexpected geometry");
        return;
    }
    std::int64_t polls = 0;
    std::size_t programmed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto drive = std::make_unique<Drive>(profile, *g);
        state.ResumeTiming();

        if (!drive->program->Handle(Block(3, kPreFormatFlags)).ok) {
            state.SkipWithError("program 3 did not start");
            break;
        }
        drive->clock.Advance(30);
        std::uint8_t status = drive->program->Status();
        while (status == kStillWorking) {
            ++polls;
            drive->clock.Advance(3000);
            status = drive->program->Status();
        }
        if (status != kPreFormatDone) {
            state.SkipWithError("pre-format did not end with 0x0A");
            break;
        }

        state.PauseTiming();
        programmed = drive->nand.ProgrammedPages();
        drive.reset();
        state.ResumeTiming();
    }
    state.counters["polls"] =
        benchmark::Counter(static_cast<double>(polls), benchmark::Counter::kAvgIterations);
    // Pages the pre-format left programmed (the tables in the code blocks).
    state.counters["pages_programmed"] = static_cast<double>(programmed);
}

}  // namespace

BENCHMARK(BM_FixturePreFormat)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
