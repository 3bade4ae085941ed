// 64 KiB sector transfers through the station's own path: ATA_ReadSectors /
// ATA_WriteSectors on port 0, the transport, the sim backend and the virtual
// fixture's produced drive behind a SAT bridge.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "bench/emulator_bench_fixture.h"
#include "device/ata_commands.h"
#include "device/port_device.h"
#include "platform/platform.h"
#include "platform/sim/sim_platform.h"

namespace {

constexpr std::uint32_t kSectors = 128;
constexpr std::size_t kBytes = kSectors * 512;

constexpr const char* kFixtureText =
    "[Fixture]\n"
    "TimeScale=0\n"
    "[Drive 1.1]\n"
    "Bridge=p713\n"
    "Boot=firmware\n";

// The sim backend installed over a loaded fixture, port 0 bound to its drive.
class Station {
  public:
    explicit Station(benchmark::State& state) {
        bench_ = kv::bench::LoadBenchFixture("kv_bench_transport", kFixtureText);
        if (!bench_.fixture) {
            state.SkipWithError(bench_.error.c_str());
            return;
        }
        const auto id = bench_.fixture->DeviceAt("1.1");
        if (!id) {
            state.SkipWithError("no drive at 1.1");
            return;
        }
        sim_ = std::make_unique<kv::platform::SimPlatform>(*bench_.fixture);
        kv::platform::SetCurrent(sim_.get());
        kv::PortDeviceTable().ClearAll();
        ok_ = kv::PortDeviceTable().Set(0, sim_->DevicePathOf(*id), kv::BusPath::SataPath);
        if (!ok_) {
            state.SkipWithError("port 0 cannot be bound");
        }
    }
    ~Station() {
        kv::PortDeviceTable().ClearAll();
        kv::platform::SetCurrent(nullptr);
    }
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    bool ok() const { return ok_; }

  private:
    kv::bench::BenchFixture bench_;
    std::unique_ptr<kv::platform::SimPlatform> sim_;
    bool ok_ = false;
};

std::uint32_t NextLba(std::uint32_t lba) {
    lba += kSectors;
    return lba >= 131072 ? 0 : lba;
}

template <typename Transfer>
void Run(benchmark::State& state, Transfer transfer, const char* failure) {
    Station station(state);
    if (!station.ok()) {
        return;
    }
    std::vector<std::uint8_t> buffer(kBytes, 0xA5);
    std::uint32_t lba = 0;
    for (auto _ : state) {
        if (transfer(buffer.data(), lba) != 1) {
            state.SkipWithError(failure);
            break;
        }
        benchmark::DoNotOptimize(buffer.data());
        lba = NextLba(lba);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kBytes));
}

void BM_TransportReadSectors(benchmark::State& state) {
    Run(
        state,
        [](std::uint8_t* data, std::uint32_t lba) {
            return kv::ATA_ReadSectors(0, data, kSectors, lba);
        },
        "ATA_ReadSectors failed");
}

void BM_TransportWriteSectors(benchmark::State& state) {
    Run(
        state,
        [](std::uint8_t* data, std::uint32_t lba) {
            return kv::ATA_WriteSectors(0, data, kSectors, lba);
        },
        "ATA_WriteSectors failed");
}

}  // namespace

BENCHMARK(BM_TransportReadSectors)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TransportWriteSectors)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
