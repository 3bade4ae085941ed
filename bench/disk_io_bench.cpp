// Disk-level throughput on the virtual fixture, side by side with dd moving the
// same bytes in 64 KiB blocks between files of the same kind:
//   ZeroSectors (write and read back)   vs  dd write, then dd read, of the bytes
//   FlushGhostImg (image file to drive) vs  dd copy of the image into a file
//   ReadGhostImg (drive to a new file)  vs  dd copy of a drive-sized file into a new file
// and the format of a 1 TB drive, which writes only its system area.
// Compare the bytes_per_second of each pair.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "device/port_device.h"
#include "disk/disk_format.h"
#include "disk/format_output.h"
#include "disk/ghost_image.h"
#include "disk/zero_sectors.h"
#include "emulator/fixture.h"
#include "platform/sim/sim_platform.h"

namespace {

constexpr std::uint64_t kBytes = 64ull << 20;  // 64 MiB per pass
constexpr std::uint32_t kSectors = kBytes / 512;

class QuietOutput final : public kv::disk::FormatOutput {
  public:
    void Console(const std::string&) override {}
};

// A fixture of two drives in a folder of its own: a 1 GiB drive and a 1 TB drive.
class Rig {
  public:
    Rig() {
        char pattern[] = "/tmp/kvdiskbench_XXXXXX";
        folder_ = mkdtemp(pattern);
        const std::string file = folder_ + "/Fixture.ini";
        std::ofstream(file) << "[Fixture]\nTimeScale=0\n"
                               "[Drive 1.1]\nBoot=firmware\nUserSectors=2097152\nVolumeDelay=0\n"
                               "[Drive 1.2]\nBoot=firmware\nUserSectors=1953525168\n"
                               "VolumeDelay=0\n";
        std::string error;
        fixture_ = kv::emu::Fixture::Load(file, error);
        if (!fixture_) {
            std::fprintf(stderr, "fixture: %s\n", error.c_str());
            std::exit(1);
        }
        sim_ = std::make_unique<kv::platform::SimPlatform>(*fixture_);
        kv::platform::SetCurrent(sim_.get());
        for (int port = 0; port < 2; ++port) {
            const std::string path =
                sim_->DevicePathOf(*fixture_->DeviceAt("1." + std::to_string(port + 1)));
            kv::PortDeviceTable().Set(port, path, kv::BusPath::SataPath);
            sim_->PortPathChanged(port, path);
        }
        kv::disk::SetFormatOutput(&quiet_);
        image_ = folder_ + "/image.bin";
        std::vector<char> piece(65536, 'i');
        std::ofstream out(image_, std::ios::binary);
        for (std::uint64_t at = 0; at < kBytes; at += piece.size()) {
            out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        }
    }
    ~Rig() {
        kv::disk::SetFormatOutput(nullptr);
        kv::platform::SetCurrent(nullptr);
        sim_.reset();
        fixture_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::string Path(int port) const { return kv::PortDeviceTable().Get(port).DevicePath; }
    const std::string& folder() const { return folder_; }
    const std::string& image() const { return image_; }

  private:
    std::string folder_;
    std::string image_;
    QuietOutput quiet_;
    std::unique_ptr<kv::emu::Fixture> fixture_;
    std::unique_ptr<kv::platform::SimPlatform> sim_;
};

Rig& TheRig() {
    static Rig rig;
    return rig;
}

void Shell(benchmark::State& state, const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        state.SkipWithError(("failed: " + command).c_str());
    }
}

std::string Dd(const std::string& from, const std::string& to, const char* extra = "") {
    return "dd if=" + from + " of=" + to + " bs=64k count=" + std::to_string(kBytes / 65536) + " " +
           extra + " status=none";
}

void BM_ZeroSectors(benchmark::State& state) {
    Rig& rig = TheRig();
    for (auto _ : state) {
        if (!kv::disk::ZeroSectors(rig.Path(0), 0, 512, kSectors)) {
            state.SkipWithError("ZeroSectors failed");
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes * 2));
}
BENCHMARK(BM_ZeroSectors)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DdZeroWriteThenRead(benchmark::State& state) {
    Rig& rig = TheRig();
    const std::string file = rig.folder() + "/dd_zero.bin";
    Shell(state, "truncate -s 1G " + file);
    for (auto _ : state) {
        Shell(state, Dd("/dev/zero", file, "conv=notrunc"));
        Shell(state, Dd(file, "/dev/null"));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes * 2));
}
BENCHMARK(BM_DdZeroWriteThenRead)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FlushGhostImg(benchmark::State& state) {
    Rig& rig = TheRig();
    for (auto _ : state) {
        if (!kv::disk::FlushGhostImg(rig.Path(0), rig.image())) {
            state.SkipWithError("FlushGhostImg failed");
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}
BENCHMARK(BM_FlushGhostImg)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadGhostImg(benchmark::State& state) {
    Rig& rig = TheRig();
    const std::string dump = rig.folder() + "/dump.bin";
    for (auto _ : state) {
        if (!kv::disk::ReadGhostImg(rig.Path(0), dump, kBytes >> 20)) {
            state.SkipWithError("ReadGhostImg failed");
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}
BENCHMARK(BM_ReadGhostImg)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DdCopy(benchmark::State& state) {
    Rig& rig = TheRig();
    const std::string disk = rig.folder() + "/dd_disk.bin";
    Shell(state, "truncate -s 1G " + disk);
    for (auto _ : state) {
        Shell(state, Dd(rig.image(), disk, "conv=notrunc"));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}
BENCHMARK(BM_DdCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

// The dump's counterpart: a drive-sized file copied into a file made anew.
void BM_DdDumpToNewFile(benchmark::State& state) {
    Rig& rig = TheRig();
    const std::string disk = rig.folder() + "/dd_disk.bin";
    const std::string dump = rig.folder() + "/dd_dump.bin";
    Shell(state, "truncate -s 1G " + disk);
    Shell(state, Dd(rig.image(), disk, "conv=notrunc"));
    for (auto _ : state) {
        Shell(state, Dd(disk, dump));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes));
}
BENCHMARK(BM_DdDumpToNewFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DiskFormat1TB(benchmark::State& state) {
    TheRig();
    std::vector<std::uint8_t> buffer(65536);
    for (auto _ : state) {
        kv::disk::DiskFormatOutcome outcome;
        if (!kv::disk::DiskFormat(1, buffer.data(), "SSD Disk", nullptr, outcome)) {
            state.SkipWithError("DiskFormat failed");
        }
    }
}
BENCHMARK(BM_DiskFormat1TB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
