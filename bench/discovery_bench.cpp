// Discovery of a full 50-port fixture on the sim backend: the hub walk with
// the disk list (ScanPorts), and the whole join with every bridge probed
// (MatchPortsToDisks). CPU time per scan.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "config/settings_keys.h"
#include "device/discovery_matching.h"
#include "device/port_device.h"
#include "device/port_scan.h"
#include "platform/sim/sim_platform.h"
#include "tools/sample_fixture.h"

namespace {

class FiftyPorts {
  public:
    FiftyPorts() {
        folder_ = std::filesystem::temp_directory_path() /
                  ("kv_discovery_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        const std::string file = (folder_ / "Fixture.ini").string();
        std::ofstream(file, std::ios::binary) << kv::tools::SampleFixture(50);
        std::string error;
        sim_ = kv::platform::SimPlatform::Load(file, error);
        if (sim_ == nullptr) {
            std::fprintf(stderr, "fixture: %s\n", error.c_str());
            return;
        }
        kv::platform::SetCurrent(sim_.get());
    }
    ~FiftyPorts() {
        kv::PortDeviceTable().ClearAll();
        kv::platform::SetCurrent(nullptr);
        sim_.reset();
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    bool ok() const { return sim_ != nullptr; }

  private:
    std::filesystem::path folder_;
    std::unique_ptr<kv::platform::SimPlatform> sim_;
};

void BM_ScanPorts50(benchmark::State& state) {
    FiftyPorts fixture;
    if (!fixture.ok()) {
        state.SkipWithError("fixture");
        return;
    }
    kv::PortScan scan;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kv::ScanPorts(kv::platform::Current().discovery(), scan));
    }
    if (scan.PortCount != 50 || scan.Disks.size() != 50) {
        state.SkipWithError("not 50 ports with 50 disks");
    }
}
BENCHMARK(BM_ScanPorts50)->Unit(benchmark::kMicrosecond);

void BM_MatchPortsToDisks50(benchmark::State& state) {
    FiftyPorts fixture;
    if (!fixture.ok()) {
        state.SkipWithError("fixture");
        return;
    }
    kv::PortRecord ports[kv::kMaxPorts];
    kv::config::Settings settings;
    kv::DiscoveryWindow window;
    kv::DiscoverySession session(ports, settings, window);
    int present = 0;
    for (auto _ : state) {
        present = kv::MatchPortsToDisks(session);
        benchmark::DoNotOptimize(present);
    }
    if (present != 50) {
        state.SkipWithError("not 50 present ports");
    }
}
BENCHMARK(BM_MatchPortsToDisks50)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
