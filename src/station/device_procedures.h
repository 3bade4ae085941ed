// The production worker's procedures bound to the station's device, flash,
// firmware and disk procedures, for every port of a run.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "config/settings_keys.h"
#include "firmware/code_download.h"
#include "firmware/firmware_files.h"
#include "flash/flash_config.h"
#include "run/global_state.h"
#include "run/worker_procedures.h"

namespace kv {

// What a run's procedures share: the flash configuration, the settings, the
// firmware files and the station folder. Each port keeps its own copy of the
// configuration its drive reports (Check Tables, bad-block count).
struct RunProcedureSetup {
    FlashConfig flash;
    SettingsBlock settings;
    ProcessSettings process;
    std::string programFolder;  // with its trailing separator
    std::vector<FirmwareFileEntry> files;
    bool downloadOnly = false;
    std::string modelCode;  // of the system firmware file, for the bad-block count
};

class DeviceProcedures final : public WorkerProcedures {
  public:
    explicit DeviceProcedures(RunProcedureSetup setup);

    bool EraseCountSaved(int port) override;
    bool SmartInfoSaved(int port) override;
    void SetBridgeState(int port, int state) override;
    void ShowRdtResult(int port) override;
    int CheckRdtResult(int port, std::uint8_t* buffer, const char* serial, int mode,
                       char (&rdtSerial)[22]) override;
    bool FlashModuleTest(int port, std::uint8_t* buffer) override;
    bool RebuildBadBlock(int port, std::uint8_t* buffer, int updateFirmwareA2B) override;
    bool BusInterfaceTest(int port, std::uint8_t* buffer) override;
    bool FlashInterfaceTest(int port, std::uint8_t* buffer, std::int32_t& failInfo,
                            std::uint8_t& failFlag) override;
    bool EraseBlocks(int port, std::uint8_t* buffer) override;
    bool GetCodeBlocks(int port, std::uint8_t* buffer) override;
    bool PreFormat(int port, std::uint8_t* buffer, bool erase, bool later,
                   bool repairUsed) override;
    bool DownloadFirmware(int port, std::uint8_t* buffer, const char* serial, const char* wwn,
                          const std::string& earlyBadPath, int formatCode) override;
    bool UploadFirmware(int port, std::uint8_t* buffer) override;
    bool IsLoaderDevice(int port) override;
    bool EnterVendorMode(int port, std::uint8_t* buffer) override;
    int WritePpidLog(int port, const std::uint8_t* sector) override;
    int Standby(int port) override;
    bool RWTest(int port, std::uint8_t* buffer) override;
    bool CheckTables(int port, std::uint8_t* buffer) override;
    bool CountBadBlocks(int port, std::uint8_t* buffer, std::uint8_t* counts,
                        std::uint32_t (&sums)[5]) override;
    bool SetMaxLba(int port, std::uint8_t* buffer, std::uint64_t value) override;
    bool DiskFormat(int port, const char* label, char& driveLetter) override;
    bool CopyImage(int port, std::uint8_t* buffer, const char* imagePath) override;
    bool FlushPass(int port, std::uint8_t* buffer) override;
    bool CheckImgPattern(int port, std::uint8_t* buffer) override;
    bool CheckTemperature(int port, std::uint8_t* buffer, std::uint8_t limit,
                          std::uint8_t& temperature) override;

  private:
    ProcedureContext Context() const;
    RunProcedureSetup setup_;
    // The configuration each port's drive reported; touched only by its worker.
    std::unique_ptr<std::array<FlashConfig, kMaxPorts>> portFlash_;
};

}  // namespace kv
