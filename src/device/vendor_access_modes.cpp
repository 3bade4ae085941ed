// Vendor feature, vendor-command enable, the jump into program RAM and the
// code window of controller memory.
#include <cstddef>
#include <cstdint>
#include <span>

#include "device/ata_commands.h"
#include "device/debug_log.h"
#include "device/transport.h"
#include "device/vendor_access.h"
#include "device/vendor_access_wait.h"
#include "device/vendor_commands.h"
#include "firmware/debug_dump.h"

namespace kv {
namespace {

constexpr char kDumpCodeOut[] = "11_RCO.raw";
constexpr char kDumpCodeIn[] = "12_RCI.raw";

void LogFailed(const char* operation) {
    OutputDbgMsg("FAILED(%s)\r\n", operation);
}

bool Holds(std::size_t bufferSize, std::uint32_t sectors) {
    return static_cast<std::uint64_t>(sectors) * kSectorSize <= bufferSize;
}

}  // namespace

bool VA_SetVendorFeature(int port, bool on) {
    return ATA_SetFeatures(port, kVendorFeature, on ? kVendorFeatureOn : kVendorFeatureOff) ==
           kCommandOk;
}

bool VA_EnableVendorCmd(int port, std::uint8_t mode) {
    if (VC_SYS_EnableVendorCmd(port, mode) != kCommandOk) {
        return false;
    }
    if (!PortWait(port, kVendorEnableWaitMs) || !VA_SetVendorFeature(port, true)) {
        LogFailed("VA_EnableVendorCmd");
        return false;
    }
    return true;
}

bool VA_JumpToPRAM(int port) {
    if (VC_SYS_JumpToPRAM(port) != kCommandOk || !PortWait(port, kJumpWaitMs)) {
        LogFailed("VA_JumpToPRAM");
        return false;
    }
    VA_SetVendorFeature(port, true);  // the program may come up without it; not judged
    return true;
}

bool VA_WriteCodeToMem(int port, std::span<const std::uint8_t> buffer, std::uint32_t sectors,
                       std::uint32_t address) {
    if (!Holds(buffer.size(), sectors) ||
        VC_SYS_WriteMem(port, kCodeWindowSelector, address | kCodeWindowBit, buffer.data(),
                        sectors) != kCommandOk) {
        LogFailed("VA_WriteCodeToMem");
        return false;
    }
    WriteDebugDump(kDumpCodeOut, buffer.data(), static_cast<std::size_t>(sectors) * kSectorSize);
    return true;
}

bool VA_ReadCodeFromMem(int port, std::span<std::uint8_t> buffer, std::uint32_t sectors,
                        std::uint32_t address) {
    if (!Holds(buffer.size(), sectors) ||
        VC_SYS_ReadMem(port, kCodeWindowSelector, address | kCodeWindowBit, buffer.data(),
                       sectors) != kCommandOk) {
        LogFailed("VA_ReadCodeFromMem");
        return false;
    }
    WriteDebugDump(kDumpCodeIn, buffer.data(), static_cast<std::size_t>(sectors) * kSectorSize);
    return true;
}

}  // namespace kv
