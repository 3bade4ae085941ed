// A production run of the station on its real procedures: the START button's
// host, binding the run controller and the workers to the device, flash,
// firmware and disk procedures, discovery's re-scan and a front end's view.
#pragma once

#include <array>
#include <memory>
#include <optional>

#include "device/discovery_session.h"
#include "flash/flash_config.h"
#include "station/device_procedures.h"
#include "station/run_view.h"
#include "station/start_button.h"
#include "station/station.h"

namespace kv {

// The firmware files and the format code the "Bin File" boxes choose, into
// the station's state; their messages go to the front end.
void SelectRunFirmware(Station& station);

class StationRun final : public StartHost {
  public:
    StationRun(Station& station, DiscoverySession& session, RunView& view);
    ~StationRun() override;

    // One press of START on the ports discovery found.
    StartState Start(const RunControls& controls);

    // RunHost
    void Pump() override;
    void ShowWaitPanel(bool shown) override;
    void ShowElapsedTime(const std::string& text) override;
    void ShowMessage(const OperatorMessage& message) override;
    bool TakeStopRequest() override;
    void ResetAndRescan() override;
    bool ReadDriveSerial(int port, std::string& serial) override;
    void PrepareRun(int connectedDrives) override;
    WorkerProcedures& Procedures(int port) override;
    TableDrive& TableTransfers(int port) override;
    WorkerHooks& Panel() override;
    bool IsSataPath(int port) override;
    bool ReadSmartSector(int port, std::uint8_t (&sector)[512]) override;
    void CloseApplication() override;
    void CaptureScreen(const std::string& path) override;
    // StartDriveProbe
    bool IsLoaderMode(int port) override;
    bool ReadFirstSector(int port, std::uint8_t (&sector)[512]) override;
    bool ReadIdentify(int port, std::uint8_t (&identify)[512]) override;
    // StartHost
    void EnableRunControls(bool enabled) override;
    void EnableStart(bool enabled) override;
    void ShowBatchRound(const std::string& text, BatchPanel panel) override;
    void ShowBatchPanel(BatchPanel panel) override;
    int FlashCapacityGb() override;
    int FlashPagesPerBlock() override;
    const FlashConfig* Flash() override;
    void SetSataSpeed(int port, std::uint8_t speed) override;
    void Terminate() override;
    void UseFirmwareFiles(const std::vector<FirmwareFileEntry>& files) override;

  private:
    class PanelHooks;
    class Tables;
    void SelectFlash();
    RunProcedureSetup Setup() const;

    Station& station_;
    DiscoverySession& session_;
    RunView& view_;
    FlashConfig flash_;
    std::unique_ptr<DeviceProcedures> procedures_;
    std::unique_ptr<PanelHooks> panel_;
    std::unique_ptr<Tables> tables_;
    DailyLog dailyLog_;
    std::unique_ptr<PortErrorBuffer> errors_;
    std::array<std::uint8_t, kMaxPorts> sataSpeed_{};
    std::vector<FirmwareFileEntry> files_;
    std::string modelCode_;
};

}  // namespace kv
