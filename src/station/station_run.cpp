#include "station/station_run.h"

#include <cstdio>
#include <cstring>

#include "device/ata_commands.h"
#include "device/enum_usb_device.h"
#include "device/loader_mode.h"
#include "device/port_device.h"
#include "disk/present_ports.h"
#include "firmware/firmware_files.h"
#include "flash/defect_table_io.h"
#include "flash/flash_scan.h"
#include "flash/later_table.h"
#include "flash/system_check.h"
#include "platform/paths.h"
#include "run/check_list.h"
#include "run/worker_hooks.h"
#include "station/side_tools.h"

namespace kv {

namespace {}  // namespace

void SelectRunFirmware(Station& station) {
    FirmwareSelectionInput input;
    input.ProgramFolder = platform::StationFolder();
    input.Sata = station.controls.sataImage;
    input.Usb = station.controls.usbImage;
    input.SpecialMode = station.ap.SpecialMode != 0;
    const FirmwareSelection selection = SelectFirmwareFiles(input);
    std::snprintf(station.ap.SataBinName, sizeof station.ap.SataBinName, "%s",
                  selection.SataBinName.c_str());
    std::snprintf(station.ap.UsbBinName, sizeof station.ap.UsbBinName, "%s",
                  selection.UsbBinName.c_str());
    const SystemFirmwareInfo& info = input.Sata ? selection.Sata : selection.Usb;
    std::snprintf(station.ap.FormatCodeText, sizeof station.ap.FormatCodeText, "%s",
                  info.FormatCode.c_str());
    for (const OperatorMessage& m : selection.Messages) {
        station.ui().ShowMessage(m.text, m.caption, MessageIconOf(m.icon));
    }
}

// The workers' panel changes go to the front end's view.
class StationRun::PanelHooks final : public WorkerHooks {
  public:
    explicit PanelHooks(RunView& view) : view_(view) {}
    void SetCaption(int port, const std::string& caption) override {
        view_.PortCaption(port, caption);
    }
    void SetColour(int port, PanelColour colour) override { view_.PortColour(port, colour); }
    void SetGauge(int port, int value) override { view_.PortGauge(port, value); }
    void SetSecondGauge(int, int) override {}
    void ShowSerial(int port, const std::string& serial, const std::string& wwn) override {
        view_.PortSerial(port, serial, wwn);
    }
    void ArmWatchdog(int, std::int64_t) override {}
    void StopWatchdog(int) override {}

  private:
    RunView& view_;
};

// The table transfers of table mode on the station's flash procedures.
class StationRun::Tables final : public TableDrive {
  public:
    explicit Tables(StationRun& run) : run_(run), buffer_(new std::uint8_t[kWorkBufferSize]()) {}
    bool FlashModuleTest(int port) override { return kv::FlashModuleTest(port, Work(), Context()); }
    bool GetCodeBlocks(int port) override { return kv::GetCodeBlocks(port, Work(), Context()); }
    bool GetDefectTable(int port, const std::string& path, int formatCode) override {
        return kv::GetDefectTable(port, Work(), Context(), path, formatCode);
    }
    bool PutDefectTable(int port, const std::string& path, int formatCode) override {
        return kv::PutDefectTable(port, Work(), Context(), path, formatCode);
    }
    int CheckDefectTable(int port) override { return DefectTablePresence(port, run_.flash_); }
    bool GetLaterTable(int port, const std::string& path, int formatCode) override {
        return kv::GetLaterTable(port, Work(), Context(), path, formatCode);
    }
    bool PutLaterTable(int port, const std::string& path, int /*formatCode*/) override {
        return kv::PutLaterTable(port, Work(), Context(), path);
    }
    void Wait(int ms) override { platform::Current().clock().SleepMs(ms); }

  private:
    std::span<std::uint8_t> Work() { return {buffer_.get(), kWorkBufferSize}; }
    ProcedureContext Context() const {
        return ProcedureContext{run_.flash_, run_.station_.settings.block,
                                run_.station_.settings.process, platform::StationFolder()};
    }
    StationRun& run_;
    std::unique_ptr<std::uint8_t[]> buffer_;
};

StationRun::StationRun(Station& station, DiscoverySession& session, RunView& view)
    : station_(station),
      session_(session),
      view_(view),
      panel_(std::make_unique<PanelHooks>(view)),
      tables_(std::make_unique<Tables>(*this)),
      errors_(std::make_unique<PortErrorBuffer>()) {
    SelectFlash();
    dailyLog_ = ChooseDailyLog(station.logFolder, platform::Current().Now());
}

StationRun::~StationRun() = default;

void StationRun::SelectFlash() {
    flash_ = ChangeGlobalParameter(station_.flashParts, station_.settings.block,
                                   station_.settings.process)
                 .Config;
}

StartState StationRun::Start(const RunControls& controls) {
    StartState state;
    ExecuteBtnClick(station_, controls, *this, dailyLog_, *errors_, state);
    return state;
}

void StationRun::UseFirmwareFiles(const std::vector<FirmwareFileEntry>& files) {
    files_ = files;
    modelCode_ =
        ReadSystemFirmwareInfo(platform::StationFolder() + station_.ap.SataBinName).ModelCode;
}

RunProcedureSetup StationRun::Setup() const {
    RunProcedureSetup setup;
    setup.flash = flash_;
    setup.settings = station_.settings.block;
    setup.process = station_.settings.process;
    setup.programFolder = platform::StationFolder();
    setup.files = files_;
    setup.downloadOnly =
        DownloadOnlyRun(station_.ap.SpecialMode != 0, station_.settings.block.ItemEnabled);
    setup.modelCode = modelCode_;
    return setup;
}

void StationRun::Pump() {
    view_.Pump();
}
void StationRun::ShowWaitPanel(bool shown) {
    view_.WaitPanel(shown);
}
void StationRun::ShowElapsedTime(const std::string& text) {
    view_.ElapsedTime(text);
}
void StationRun::ShowMessage(const OperatorMessage& message) {
    station_.ui().ShowMessage(message.text, message.caption, MessageIconOf(message.icon));
}
bool StationRun::TakeStopRequest() {
    return view_.TakeStopRequest();
}
void StationRun::ResetAndRescan() {
    kv::ResetAndRescan(session_);
}

bool StationRun::ReadDriveSerial(int port, std::string& serial) {
    std::uint8_t identify[512] = {};
    if (ATA_Identify(port, identify, 1) != 1)
        return false;
    serial.clear();
    for (int word = 10; word < 20; ++word) {
        serial.push_back(static_cast<char>(identify[2 * word + 1]));
        serial.push_back(static_cast<char>(identify[2 * word]));
    }
    return true;
}

void StationRun::PrepareRun(int connectedDrives) {
    disk::SetPresentPortCount(connectedDrives);
    SelectFlash();
    procedures_ = std::make_unique<DeviceProcedures>(Setup());
}

WorkerProcedures& StationRun::Procedures(int) {
    if (!procedures_)
        procedures_ = std::make_unique<DeviceProcedures>(Setup());
    return *procedures_;
}
TableDrive& StationRun::TableTransfers(int) {
    return *tables_;
}
WorkerHooks& StationRun::Panel() {
    return *panel_;
}

bool StationRun::IsSataPath(int port) {
    return PortDeviceTable().GetBusPath(port) == BusPath::SataPath;
}

bool StationRun::ReadSmartSector(int port, std::uint8_t (&sector)[512]) {
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kWorkBufferSize]());
    return kv::EnterVendorMode(port, buffer.get()) && ATA_SmartReadData(port, sector, 1) == 1;
}

void StationRun::CloseApplication() {
    view_.CloseApplication();
}
void StationRun::CaptureScreen(const std::string& path) {
    view_.CaptureScreen(path);
}

bool StationRun::IsLoaderMode(int port) {
    return kv::IsLoaderMode(port);
}
bool StationRun::ReadFirstSector(int port, std::uint8_t (&sector)[512]) {
    return ATA_ReadSectors(port, sector, 1, 0) == 1;
}
bool StationRun::ReadIdentify(int port, std::uint8_t (&identify)[512]) {
    return ATA_Identify(port, identify, 1) == 1;
}

void StationRun::EnableRunControls(bool enabled) {
    view_.RunControlsEnabled(enabled);
}
void StationRun::EnableStart(bool enabled) {
    view_.StartEnabled(enabled);
}
void StationRun::ShowBatchRound(const std::string& text, BatchPanel) {
    view_.BatchRound(text);
}
void StationRun::ShowBatchPanel(BatchPanel panel) {
    view_.BatchPanelColour(panel);
}

// The raw flash capacity the "Capacity" choice is compared with.
int StationRun::FlashCapacityGb() {
    return MaxIdemaCapacityGb(flash_);
}
int StationRun::FlashPagesPerBlock() {
    return flash_.PagesPerBlock;
}
const FlashConfig* StationRun::Flash() {
    return &flash_;
}
void StationRun::SetSataSpeed(int port, std::uint8_t speed) {
    if (IsPortIndex(port))
        sataSpeed_[port] = speed;
}
void StationRun::Terminate() {
    view_.Terminate();
}

}  // namespace kv
