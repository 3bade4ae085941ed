// Global records of the production run engine: the per-port records, the
// application state object and the per-port fail-detail buffers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace kv {

// Every per-port table of the station has exactly this many entries.
inline constexpr int kMaxPorts = 50;
// Test items 0..38 carry an enable byte and a status word.
inline constexpr int kItemCount = 39;
// Failure codes run from 1 to 86; 0 means no failure.
inline constexpr int kFailCodeCount = 87;
inline constexpr std::size_t kPortErrorSlotSize = 2048;
inline constexpr std::size_t kWorkBufferSize = 64 * 1024;

// One drive slot. Discovery fills a scratch array of these and copies it into
// the live array; the run engine, the window and the logs use the live array.
struct PortRecord {
    std::int32_t Attached = 0;
    std::int32_t Present = 0;
    std::int32_t BridgeType = 0;
    std::int32_t BusType = 0;
    std::uint16_t UsbVendorId = 0;
    std::uint16_t UsbProductId = 0;
    char DescriptorText[80] = {};
    std::uint64_t HubHandle = 0;  // opaque platform handle of the port's hub
    char DriverKeyName[80] = {};
    char DeviceKey[80] = {};
    char DevicePath[260] = {};
    char DriveLetter = 0;
    std::int32_t CapacityMb = 0;
    std::int32_t Formatted = 0;
    std::int32_t FailCode = 0;
    std::int32_t FlashFailInfo = 0;
    std::int32_t YieldPending = 0;
    std::int32_t ReportedFailCode = 0;
    std::int32_t FailDetailNumber = 0;
    std::int32_t FailDetailKind = 0;
    std::uint8_t FlashFailFlag = 0;
    char SerialNumber[50] = {};
    char Wwn[18] = {};
    char Ppid[25] = {};
    std::uint8_t Temperature = 0;
    std::uint32_t DiskDevInst = 0;
    std::uint32_t UsbDevInst = 0;
    std::int32_t ItemStatus[kItemCount] = {};
    std::int32_t Result = 0;
};

// ItemStatus words.
inline constexpr std::int32_t kItemNotSelected = 0;
inline constexpr std::int32_t kItemPassed = 1;
inline constexpr std::int32_t kItemRunning = 2;
inline constexpr std::int32_t kItemFailed = -1;

struct ReuseSnList {
    char Numbers[kMaxPorts][40] = {};
    int Count = 0;
    int NextIndex = 0;
};

// The application state object, one for the program's lifetime.
struct AP_GOLBAL {
    char SataBinPath[260] = {};
    char UsbBinPath[260] = {};
    char SataBinName[260] = {};
    char UsbBinName[260] = {};
    char FormatCodeText[8] = {};  // two-digit format code of the system firmware file
    ReuseSnList ReuseSn;
    char BarcodeSn[kMaxPorts][40] = {};
    char BarcodeWwn[kMaxPorts][18] = {};
    char BarcodePpid[kMaxPorts][25] = {};
    std::uint8_t SpecialMode = 0;
    char WorkOrder[64] = {};
    char PartNumber[64] = {};
    char WeekCode[64] = {};
    bool AutoExecute = false;
    bool AutoExecuteQuit = false;
    bool CaptureAppImage = false;
    bool SingleExecuteResult = false;
    int PortTimerId[kMaxPorts] = {};
};

// Per port and failure code, a copy of the first 2,048 bytes of the worker's
// buffer at the moment the item failed. Allocated once, freed at shutdown.
class PortErrorBuffer {
  public:
    PortErrorBuffer()
        : data_(new std::uint8_t[kMaxPorts * kFailCodeCount * kPortErrorSlotSize]()) {}
    std::uint8_t* Slot(int port, int failCode) {
        return data_.get() + (static_cast<std::size_t>(port) * kFailCodeCount +
                              static_cast<std::size_t>(failCode)) *
                                 kPortErrorSlotSize;
    }
    const std::uint8_t* Slot(int port, int failCode) const {
        return const_cast<PortErrorBuffer*>(this)->Slot(port, failCode);
    }

  private:
    std::unique_ptr<std::uint8_t[]> data_;
};

}  // namespace kv
