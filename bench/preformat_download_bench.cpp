// The station's own cost of the two system-area items on one fresh drive of
// the sample line (4 channels, 2 banks) at TimeScale 0: vendor mode, the flash
// module test, the code-block query, Preformat and Download, through the
// procedures a production worker calls. Every iteration starts from a new
// sample station folder, whose set-up is not timed.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "device/discovery_window.h"
#include "device/enum_usb_device.h"
#include "firmware/firmware_files.h"
#include "flash/flash_config.h"
#include "platform/paths.h"
#include "platform/sim/sim_platform.h"
#include "run/global_state.h"
#include "station/device_procedures.h"
#include "station/station.h"
#include "station/station_run.h"
#include "tools/sample_station.h"

namespace {

// One fresh sample station with its fixture installed, drive 1 on port 0.
struct FreshLine {
    FreshLine() {
        char pattern[] = "/tmp/kv_bench_line_XXXXXX";
        folder = mkdtemp(pattern) != nullptr ? pattern : "";
        kv::tools::SampleOptions options;
        options.drives = 1;
        std::string error;
        ok = !folder.empty() && kv::tools::WriteSampleStation(folder, options, error) &&
             chdir(folder.c_str()) == 0;
        kv::platform::SetStationFolder(folder + "/");
        sim = ok ? kv::platform::SimPlatform::Load(folder + "/Fixture.ini", error) : nullptr;
        ok = ok && sim != nullptr;
        if (!ok)
            return;
        kv::platform::SetCurrent(sim.get());
        station = std::make_unique<kv::Station>(ui);
        ok = station->Start();
        session = std::make_unique<kv::DiscoverySession>(station->ports, station->settings, window);
        kv::EnumUSBDevice(*session);
        kv::SelectRunFirmware(*station);
        kv::RunProcedureSetup setup;
        setup.flash = kv::ChangeGlobalParameter(station->flashParts, station->settings.block,
                                                station->settings.process)
                          .Config;
        setup.settings = station->settings.block;
        setup.process = station->settings.process;
        setup.programFolder = folder + "/";
        setup.files =
            kv::BuildDownloadFileList(setup.programFolder, true, false, station->ap.SataBinName, "",
                                      setup.flash.PagesPerBlock)
                .Files;
        formatCode = std::atoi(station->ap.FormatCodeText);
        procedures = std::make_unique<kv::DeviceProcedures>(setup);
    }
    ~FreshLine() {
        if (station)
            station->Close();
        procedures.reset();
        session.reset();
        station.reset();
        kv::platform::SetCurrent(nullptr);
        sim.reset();
        std::error_code ec;
        if (!folder.empty())
            std::filesystem::remove_all(folder, ec);
    }

    std::string folder;
    bool ok = false;
    std::unique_ptr<kv::platform::SimPlatform> sim;
    kv::SilentUi ui;
    kv::DiscoveryWindow window;
    std::unique_ptr<kv::Station> station;
    std::unique_ptr<kv::DiscoverySession> session;
    std::unique_ptr<kv::DeviceProcedures> procedures;
    int formatCode = 0;
};

void BM_PreFormatAndDownload(benchmark::State& state) {
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kv::kWorkBufferSize]());
    std::uint8_t* work = buffer.get();
    for (auto _ : state) {
        state.PauseTiming();
        auto line = std::make_unique<FreshLine>();
        if (!line->ok) {
            state.SkipWithError("the sample line could not be set up");
            break;
        }
        kv::WorkerProcedures& p = *line->procedures;
        state.ResumeTiming();
        const bool ok =
            p.EnterVendorMode(0, work) && p.FlashModuleTest(0, work) && p.GetCodeBlocks(0, work) &&
            p.PreFormat(0, work, false, false, false) && p.GetCodeBlocks(0, work) &&
            p.DownloadFirmware(0, work, "KV51BENCH0001", "000000001", "", line->formatCode);
        state.PauseTiming();
        if (!ok) {
            state.SkipWithError("Preformat or Download failed");
            break;
        }
        line.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PreFormatAndDownload)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
