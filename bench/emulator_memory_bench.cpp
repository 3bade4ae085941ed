// What the emulator holds for a full fixture: 50 produced drives (Boot =
// firmware, factory bad blocks, a reliability-test record set) on five root
// hubs of ten ports. Reports the resident set the load added, the peak
// resident set of the process, and the flash contents the drives say they
// keep in memory.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "bench/emulator_bench_fixture.h"

namespace {

constexpr int kRootHubs = 5;
constexpr int kPortsPerHub = 10;

std::string FixtureText() {
    std::ostringstream text;
    text << "[Fixture]\nRootHubs=";
    for (int r = 0; r < kRootHubs; ++r) {
        text << (r == 0 ? "" : ",") << kPortsPerHub;
    }
    text << "\nTimeScale=0\n";
    for (int r = 1; r <= kRootHubs; ++r) {
        for (int p = 1; p <= kPortsPerHub; ++p) {
            text << "[Drive " << r << "." << p << "]\n"
                 << "Bridge=p713\nBoot=firmware\nFactoryBad=12\nRdt=pass\n";
        }
    }
    return text.str();
}

// A "Vm...:   N kB" line of the process status, in bytes; 0 when missing.
double StatusBytes(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0) {
            std::istringstream values(line.substr(key.size() + 1));
            double kib = 0;
            values >> kib;
            return kib * 1024.0;
        }
    }
    return 0;
}

void BM_FixtureFiftyProducedDrives(benchmark::State& state) {
    const std::string text = FixtureText();
    for (auto _ : state) {
        const double before = StatusBytes("VmRSS");
        kv::bench::BenchFixture bench = kv::bench::LoadBenchFixture("kv_bench_memory", text);
        if (!bench.fixture) {
            state.SkipWithError(bench.error.c_str());
            break;
        }
        const double after = StatusBytes("VmRSS");
        double flash = 0;
        int drives = 0;
        for (const kv::emu::DeviceInfo& info : bench.fixture->Devices()) {
            kv::emu::Drive* drive = bench.fixture->DriveOf(info.id);
            if (drive == nullptr) {
                continue;
            }
            ++drives;
            flash += static_cast<double>(
                drive->WithParts([](kv::emu::Controller&, kv::emu::Nand& nand,
                                    kv::emu::DriveState&) { return nand.MemoryBytes(); }));
        }
        state.counters["drives"] = drives;
        state.counters["rss_added_MiB"] = (after - before) / (1024.0 * 1024.0);
        state.counters["flash_held_MiB"] = flash / (1024.0 * 1024.0);
        state.counters["peak_rss_MiB"] = StatusBytes("VmHWM") / (1024.0 * 1024.0);
    }
}

}  // namespace

BENCHMARK(BM_FixtureFiftyProducedDrives)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
