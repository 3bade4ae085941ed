// The cost of one pass-through call of the virtual fixture moving 64 KiB:
// SCSI READ(10) and WRITE(10) of 128 sectors of a produced drive behind a SAT
// bridge, and the same read as a SAT ATA PASS-THROUGH(16) READ DMA EXT.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench/emulator_bench_fixture.h"

namespace {

constexpr std::uint32_t kSectors = 128;
constexpr std::size_t kBytes = kSectors * 512;
constexpr std::uint32_t kTimeoutSeconds = 10;

constexpr const char* kFixtureText =
    "[Fixture]\n"
    "TimeScale=0\n"
    "[Drive 1.1]\n"
    "Bridge=p713\n"
    "Boot=firmware\n";

struct Drive {
    kv::bench::BenchFixture bench;
    kv::emu::DeviceId id = 0;
};

bool Open(Drive& d, benchmark::State& state) {
    d.bench = kv::bench::LoadBenchFixture("kv_bench_passthrough", kFixtureText);
    if (!d.bench.fixture) {
        state.SkipWithError(d.bench.error.c_str());
        return false;
    }
    const auto id = d.bench.fixture->DeviceAt("1.1");
    if (!id) {
        state.SkipWithError("no drive at 1.1");
        return false;
    }
    d.id = *id;
    return true;
}

// READ(10) / WRITE(10) of `kSectors` at `lba`.
void SectorCdb(std::uint8_t opcode, std::uint32_t lba, std::uint8_t (&cdb)[10]) {
    cdb[0] = opcode;
    cdb[1] = 0;
    cdb[2] = static_cast<std::uint8_t>(lba >> 24);
    cdb[3] = static_cast<std::uint8_t>(lba >> 16);
    cdb[4] = static_cast<std::uint8_t>(lba >> 8);
    cdb[5] = static_cast<std::uint8_t>(lba);
    cdb[6] = 0;
    cdb[7] = static_cast<std::uint8_t>(kSectors >> 8);
    cdb[8] = static_cast<std::uint8_t>(kSectors);
    cdb[9] = 0;
}

// ATA PASS-THROUGH(16), DMA protocol, 48-bit, data to the host, length in
// sectors in the Count field: READ DMA EXT of `kSectors` at `lba`.
void SatReadCdb(std::uint32_t lba, std::uint8_t (&cdb)[16]) {
    cdb[0] = 0x85;
    cdb[1] = (6 << 1) | 0x01;
    cdb[2] = 0x08 | 0x04 | 0x02;
    cdb[3] = 0;
    cdb[4] = 0;
    cdb[5] = static_cast<std::uint8_t>(kSectors >> 8);
    cdb[6] = static_cast<std::uint8_t>(kSectors);
    cdb[7] = static_cast<std::uint8_t>(lba >> 24);
    cdb[8] = static_cast<std::uint8_t>(lba);
    cdb[9] = 0;
    cdb[10] = static_cast<std::uint8_t>(lba >> 8);
    cdb[11] = 0;
    cdb[12] = static_cast<std::uint8_t>(lba >> 16);
    cdb[13] = 0x40;
    cdb[14] = 0x25;
    cdb[15] = 0;
}

// Walks the first 64 MiB so that reads meet sectors the writes filled.
std::uint32_t NextLba(std::uint32_t lba) {
    lba += kSectors;
    return lba >= 131072 ? 0 : lba;
}

bool Good(const kv::emu::ExecuteResult& r) {
    return r.transportOk && r.scsiStatus == kv::emu::kScsiGood && r.bytesTransferred == kBytes;
}

void RunSectors(benchmark::State& state, std::uint8_t opcode, kv::emu::DataDirection direction) {
    Drive d;
    if (!Open(d, state)) {
        return;
    }
    std::vector<std::uint8_t> buffer(kBytes, 0x5A);
    std::uint32_t lba = 0;
    for (auto _ : state) {
        std::uint8_t cdb[10];
        SectorCdb(opcode, lba, cdb);
        const kv::emu::ExecuteResult r = d.bench.fixture->Execute(
            d.id, cdb, sizeof cdb, direction, buffer.data(), buffer.size(), kTimeoutSeconds);
        if (!Good(r)) {
            state.SkipWithError("the sector command failed");
            break;
        }
        benchmark::DoNotOptimize(buffer.data());
        lba = NextLba(lba);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kBytes));
}

void BM_FixtureRead10(benchmark::State& state) {
    RunSectors(state, 0x28, kv::emu::DataDirection::In);
}

void BM_FixtureWrite10(benchmark::State& state) {
    RunSectors(state, 0x2A, kv::emu::DataDirection::Out);
}

void BM_FixtureSatReadDmaExt(benchmark::State& state) {
    Drive d;
    if (!Open(d, state)) {
        return;
    }
    std::vector<std::uint8_t> buffer(kBytes, 0);
    std::uint32_t lba = 0;
    for (auto _ : state) {
        std::uint8_t cdb[16];
        SatReadCdb(lba, cdb);
        const kv::emu::ExecuteResult r =
            d.bench.fixture->Execute(d.id, cdb, sizeof cdb, kv::emu::DataDirection::In,
                                     buffer.data(), buffer.size(), kTimeoutSeconds);
        if (!Good(r)) {
            state.SkipWithError("the pass-through read failed");
            break;
        }
        benchmark::DoNotOptimize(buffer.data());
        lba = NextLba(lba);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kBytes));
}

}  // namespace

BENCHMARK(BM_FixtureRead10)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FixtureWrite10)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FixtureSatReadDmaExt)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
