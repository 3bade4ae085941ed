#include "station/device_procedures.h"

#include <cstring>

#include "device/ata_commands.h"
#include "device/ata_procedures.h"
#include "device/loader_mode.h"
#include "device/port_device.h"
#include "device/transport.h"
#include "disk/disk_format.h"
#include "disk/ghost_image.h"
#include "firmware/download.h"
#include "firmware/upload.h"
#include "flash/count_bad_blocks.h"
#include "flash/flash_scan.h"
#include "flash/preformat.h"
#include "flash/rdt_check.h"
#include "flash/rdt_report.h"
#include "flash/system_check.h"
#include "run/rw_test.h"

namespace kv {

namespace {

std::span<std::uint8_t> Work(std::uint8_t* buffer) {
    return {buffer, kWorkBufferSize};
}

// Disk Format enters vendor mode itself; the worker has done so just before.
bool AlreadyInVendorMode(int, std::uint8_t*) {
    return true;
}

constexpr std::uint8_t kPpidLogAddress = 0x9A;
constexpr std::uint32_t kFlushReadLba = 500;
constexpr std::uint32_t kFlushReadBytes = 65536;

}  // namespace

DeviceProcedures::DeviceProcedures(RunProcedureSetup setup)
    : setup_(std::move(setup)), portFlash_(std::make_unique<std::array<FlashConfig, kMaxPorts>>()) {
    portFlash_->fill(setup_.flash);
}

ProcedureContext DeviceProcedures::Context() const {
    return ProcedureContext{setup_.flash, setup_.settings, setup_.process, setup_.programFolder};
}

bool DeviceProcedures::EraseCountSaved(int port) {
    const PortSaveAreas* areas = PortDeviceTable().SaveAreas(port);
    return areas != nullptr && areas->EraseCountSaved;
}

bool DeviceProcedures::SmartInfoSaved(int port) {
    const PortSaveAreas* areas = PortDeviceTable().SaveAreas(port);
    return areas != nullptr && areas->SmartSaved;
}

void DeviceProcedures::SetBridgeState(int port, int state) {
    kv::SetBridgeState(port, static_cast<std::uint8_t>(state));
}

void DeviceProcedures::ShowRdtResult(int port) {
    ShowRDTResult(port, false, Context(), setup_.programFolder);
}

int DeviceProcedures::CheckRdtResult(int port, std::uint8_t* buffer, const char* serial, int mode,
                                     char (&rdtSerial)[22]) {
    const RdtCheckResult result =
        kv::CheckRdtResult(port, Work(buffer), Context(), serial, mode != 0);
    std::strncpy(rdtSerial, result.SerialText.c_str(), sizeof rdtSerial - 1);
    rdtSerial[sizeof rdtSerial - 1] = '\0';
    return result.Verdict;
}

bool DeviceProcedures::FlashModuleTest(int port, std::uint8_t* buffer) {
    return kv::FlashModuleTest(port, Work(buffer), Context());
}

bool DeviceProcedures::RebuildBadBlock(int port, std::uint8_t* buffer, int updateFirmwareA2B) {
    return kv::RebuildBadBlock(port, Work(buffer), Context(), updateFirmwareA2B != 0);
}

bool DeviceProcedures::BusInterfaceTest(int port, std::uint8_t* buffer) {
    return kv::BusInterfaceTest(port, Work(buffer), Context());
}

bool DeviceProcedures::FlashInterfaceTest(int port, std::uint8_t* buffer, std::int32_t& failInfo,
                                          std::uint8_t& failFlag) {
    std::uint8_t failByte = 0;
    std::uint8_t diagResult = 0;
    const bool ok = kv::FlashInterfaceTest(port, Work(buffer), Context(), failByte, diagResult);
    failFlag = failByte;
    failInfo = diagResult;
    return ok;
}

bool DeviceProcedures::EraseBlocks(int port, std::uint8_t* buffer) {
    return kv::EraseBlocks(port, Work(buffer), Context());
}

bool DeviceProcedures::GetCodeBlocks(int port, std::uint8_t* buffer) {
    return kv::GetCodeBlocks(port, Work(buffer), Context());
}

bool DeviceProcedures::PreFormat(int port, std::uint8_t* buffer, bool erase, bool later,
                                 bool repairUsed) {
    PreFormatOptions options;
    options.EraseSearch = erase;
    options.FactoryPlusNew = later;
    options.RepairUsed = repairUsed;
    return kv::PreFormat(port, Work(buffer), Context(), options);
}

bool DeviceProcedures::DownloadFirmware(int port, std::uint8_t* buffer, const char* serial,
                                        const char* wwn, const std::string& earlyBadPath,
                                        int formatCode) {
    DownloadRequest request;
    request.SerialNumber = serial;
    request.WwnText = wwn;
    request.EarlyBadPath = earlyBadPath;
    request.FormatCode = formatCode;
    request.Files = setup_.files;
    request.DownloadOnly = setup_.downloadOnly;
    return kv::DownloadFirmware(port, Work(buffer), Context(), request);
}

bool DeviceProcedures::UploadFirmware(int port, std::uint8_t* buffer) {
    return kv::UploadFirmware(port, Work(buffer), Context(), setup_.files);
}

bool DeviceProcedures::IsLoaderDevice(int port) {
    return IsLoaderMode(port) || IsSataLoaderDevice(port);
}

bool DeviceProcedures::EnterVendorMode(int port, std::uint8_t* buffer) {
    return kv::EnterVendorMode(port, buffer);
}

int DeviceProcedures::WritePpidLog(int port, const std::uint8_t* sector) {
    return ATA_WriteLogExt(port, sector, 1, kPpidLogAddress, 0, false);
}

int DeviceProcedures::Standby(int port) {
    return ATA_Standby(port);
}

bool DeviceProcedures::RWTest(int port, std::uint8_t* buffer) {
    return kv::RWTest(port, buffer, &kv::EnterVendorMode);
}

bool DeviceProcedures::CheckTables(int port, std::uint8_t* buffer) {
    if (!IsPortIndex(port))
        return false;
    return kv::CheckTables(port, Work(buffer), (*portFlash_)[port], setup_.settings);
}

bool DeviceProcedures::CountBadBlocks(int port, std::uint8_t* buffer, std::uint8_t* /*counts*/,
                                      std::uint32_t (&sums)[5]) {
    if (!IsPortIndex(port))
        return false;
    const FlashConfig& flash = (*portFlash_)[port];
    BadBlockCounts counts(flash.Channels, flash.Banks);
    BadBlockSums found{};
    if (!kv::CountBadBlocks(port, Work(buffer), flash, setup_.modelCode, counts, found, nullptr)) {
        return false;
    }
    for (std::size_t i = 0; i < 5 && i < found.size(); ++i)
        sums[i] = found[i];
    return true;
}

bool DeviceProcedures::SetMaxLba(int port, std::uint8_t* buffer, std::uint64_t value) {
    return kv::SetMaxLba(port, buffer, value);
}

bool DeviceProcedures::DiskFormat(int port, const char* label, char& driveLetter) {
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kWorkBufferSize]());
    disk::DiskFormatOutcome outcome;
    const bool ok = disk::DiskFormat(port, buffer.get(), label, &AlreadyInVendorMode, outcome);
    driveLetter = outcome.driveLetter;
    return ok && outcome.formatted;
}

bool DeviceProcedures::CopyImage(int port, std::uint8_t* /*buffer*/, const char* imagePath) {
    return disk::FlushGhostImg(PortDeviceTable().Get(port).DevicePath, imagePath);
}

bool DeviceProcedures::FlushPass(int port, std::uint8_t* buffer) {
    const PortDevice device = PortDeviceTable().Get(port);
    if (device.Bus == BusPath::UsbPath) {
        return ReadSectorsByPath(device.DevicePath, buffer, kFlushReadLba, kFlushReadBytes) == 1;
    }
    return ATA_FlushCache(port) == 1;
}

bool DeviceProcedures::CheckImgPattern(int port, std::uint8_t* /*buffer*/) {
    return kv::CheckImgPattern(PortDeviceTable().Get(port).DevicePath);
}

bool DeviceProcedures::CheckTemperature(int port, std::uint8_t* buffer, std::uint8_t limit,
                                        std::uint8_t& temperature) {
    return kv::CheckTemperature(port, buffer, limit, temperature);
}

}  // namespace kv
