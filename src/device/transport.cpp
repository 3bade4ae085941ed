// One pass-through request per call: open, fill, send, close. The caller's
// buffer goes to the platform as it is; only a 1-byte transfer is sent as two
// bytes through a bounce buffer of the call's own.
#include "device/transport.h"

#include <cstring>
#include <memory>

#include "device/debug_log.h"
#include "device/port_device.h"
#include "platform/platform.h"

namespace kv {
namespace {

// The two messages of a traced request function; nullptr texts = no messages.
struct RequestTraces {
    const char* openFailed = nullptr;
    const char* requestFailed = nullptr;
};

constexpr RequestTraces kReadTraces{
    "ReadSCSICommandWithTimeOutValue(INVALID_HANDLE_VALUE) = %s\r\n",
    "LastError(ReadSCSICommandWithTimeOutValue)[1] = %d\r\n"};
constexpr RequestTraces kWriteTraces{
    "WriteSCSICommandWithTimeOutValue(INVALID_HANDLE_VALUE) = %s\r\n",
    "LastError(WriteSCSICommandWithTimeOutValue)[1] = %d\r\n"};
constexpr RequestTraces kSilent{};

int RunRequest(const std::string& path, const std::uint8_t* cdb, int cdbLength, void* buffer,
               std::uint32_t byteCount, bool dataIn, std::uint32_t timeoutSeconds,
               std::uint32_t* transferred, std::uint8_t* scsiStatus, const RequestTraces& traces) {
    if (transferred != nullptr) {
        *transferred = 0;
    }
    if (scsiStatus != nullptr) {
        *scsiStatus = kScsiStatusGood;
    }
    if (cdb == nullptr || cdbLength < 1 || cdbLength > kMaxCdbLength ||
        (byteCount > 0 && buffer == nullptr)) {
        return 0;
    }

    platform::Platform& backend = platform::Current();
    std::uint32_t openError = 0;
    std::unique_ptr<platform::DeviceHandle> device = backend.OpenDevice(path, openError);
    if (device == nullptr) {
        if (traces.openFailed != nullptr) {
            OutputDbgMsg(traces.openFailed, path.c_str());
        }
        return 0;
    }

    platform::PassThroughRequest request;
    std::memcpy(request.cdb, cdb, static_cast<std::size_t>(cdbLength));
    request.cdbLength = static_cast<std::uint8_t>(cdbLength);
    request.dataIn = dataIn;
    request.timeoutSeconds = timeoutSeconds;

    std::uint8_t bounce[2] = {0, 0};
    const bool bounced = byteCount == 1;
    if (bounced) {
        if (!dataIn) {
            bounce[0] = *static_cast<const std::uint8_t*>(buffer);
        }
        request.buffer = bounce;
        request.length = sizeof(bounce);
    } else {
        request.buffer = byteCount > 0 ? buffer : nullptr;
        request.length = byteCount;
    }

    const platform::PassThroughResult result = backend.PassThrough(*device, request);
    device.reset();  // no handle survives the call

    if (bounced && dataIn && result.callOk) {
        *static_cast<std::uint8_t*>(buffer) = bounce[0];
    }
    if (transferred != nullptr) {
        *transferred = result.transferred;
    }
    if (scsiStatus != nullptr) {
        *scsiStatus = result.scsiStatus;
    }
    if (!result.callOk || result.lastError != 0) {
        if (traces.requestFailed != nullptr) {
            OutputDbgMsg(traces.requestFailed, static_cast<int>(result.lastError));
        }
        return 0;
    }
    return 1;
}

std::uint32_t FixedReadTimeout(const std::string& path) {
    return path.find("usb") != std::string::npos ? kUsbDeviceReadTimeout : kOtherPathReadTimeout;
}

// Data-out buffers are handed to the platform, which only reads them.
void* OutBuffer(const void* buffer) {
    return const_cast<void*>(buffer);
}

// The CDB of READ(10) / WRITE(10); false when the block count does not fit.
bool BuildSectorCdb(std::uint8_t opcode, std::uint32_t lba, std::uint32_t byteCount,
                    std::uint8_t (&cdb)[10]) {
    const std::uint32_t blocks = byteCount / kSectorSize;
    if (blocks > 0xFFFF) {
        return false;
    }
    std::memset(cdb, 0, sizeof(cdb));
    cdb[0] = opcode;
    cdb[2] = static_cast<std::uint8_t>(lba >> 24);
    cdb[3] = static_cast<std::uint8_t>(lba >> 16);
    cdb[4] = static_cast<std::uint8_t>(lba >> 8);
    cdb[5] = static_cast<std::uint8_t>(lba);
    cdb[7] = static_cast<std::uint8_t>(blocks >> 8);
    cdb[8] = static_cast<std::uint8_t>(blocks);
    return true;
}

int PortResult(int requestResult) {
    return requestResult == 1 ? kPortCommandOk : kPortRequestFailed;
}

}  // namespace

int ReadSCSICommandWithTimeOutValue(const std::string& path, const std::uint8_t* cdb, int cdbLength,
                                    void* buffer, std::uint32_t byteCount,
                                    std::uint32_t* transferred, std::uint32_t timeoutSeconds,
                                    std::uint8_t* scsiStatus) {
    return RunRequest(path, cdb, cdbLength, buffer, byteCount, true, timeoutSeconds, transferred,
                      scsiStatus, kReadTraces);
}

int WriteSCSICommandWithTimeOutValue(const std::string& path, const std::uint8_t* cdb,
                                     int cdbLength, const void* buffer, std::uint32_t byteCount,
                                     std::uint32_t* transferred, std::uint32_t timeoutSeconds,
                                     std::uint8_t* scsiStatus) {
    return RunRequest(path, cdb, cdbLength, OutBuffer(buffer), byteCount, false, timeoutSeconds,
                      transferred, scsiStatus, kWriteTraces);
}

int ReadSCSICommand(const std::string& path, const std::uint8_t* cdb, int cdbLength, void* buffer,
                    std::uint32_t byteCount, std::uint32_t* transferred, std::uint8_t* scsiStatus) {
    return RunRequest(path, cdb, cdbLength, buffer, byteCount, true, FixedReadTimeout(path),
                      transferred, scsiStatus, kSilent);
}

int WriteSCSICommand(const std::string& path, const std::uint8_t* cdb, int cdbLength,
                     const void* buffer, std::uint32_t byteCount, std::uint32_t* transferred,
                     std::uint8_t* scsiStatus) {
    return RunRequest(path, cdb, cdbLength, OutBuffer(buffer), byteCount, false, kWriteTimeout,
                      transferred, scsiStatus, kSilent);
}

int SendPortCommand(int port, bool isRead, const std::uint8_t* cdb, int cdbLength, void* buffer,
                    std::uint32_t byteCount, std::uint8_t* scsiStatus) {
    const PortDevice device = PortDeviceTable().Get(port);
    if (device.DevicePath.empty()) {
        return kPortNoDevice;
    }
    std::uint32_t transferred = 0;
    if (isRead) {
        const std::uint32_t timeout =
            device.Bus == BusPath::UsbPath ? kUsbPathReadTimeout : kSataPathReadTimeout;
        return PortResult(ReadSCSICommandWithTimeOutValue(device.DevicePath, cdb, cdbLength, buffer,
                                                          byteCount, &transferred, timeout,
                                                          scsiStatus));
    }
    return PortResult(WriteSCSICommandWithTimeOutValue(device.DevicePath, cdb, cdbLength, buffer,
                                                       byteCount, &transferred, kWriteTimeout,
                                                       scsiStatus));
}

int SendRawPortCommand(int port, bool isRead, const std::uint8_t* cdb, int cdbLength, void* buffer,
                       std::uint32_t byteCount, std::uint8_t* scsiStatus) {
    const PortDevice device = PortDeviceTable().Get(port);
    if (device.DevicePath.empty()) {
        return kPortNoDevice;
    }
    std::uint32_t transferred = 0;
    if (isRead) {
        return PortResult(ReadSCSICommand(device.DevicePath, cdb, cdbLength, buffer, byteCount,
                                          &transferred, scsiStatus));
    }
    return PortResult(WriteSCSICommand(device.DevicePath, cdb, cdbLength, buffer, byteCount,
                                       &transferred, scsiStatus));
}

namespace {

// READ(10) or WRITE(10) of whole sectors; a request the drive completed with
// a status other than GOOD moved no sectors and fails.
int TransferSectors(bool isRead, const std::string& path, void* buffer, std::uint32_t lba,
                    std::uint32_t byteCount) {
    std::uint8_t cdb[10];
    if (!BuildSectorCdb(isRead ? 0x28 : 0x2A, lba, byteCount, cdb)) {
        return 0;
    }
    std::uint32_t transferred = 0;
    std::uint8_t status = kScsiStatusGood;
    const int result =
        isRead ? ReadSCSICommand(path, cdb, sizeof(cdb), buffer, byteCount, &transferred, &status)
               : WriteSCSICommand(path, cdb, sizeof(cdb), buffer, byteCount, &transferred, &status);
    return result == 1 && status == kScsiStatusGood ? 1 : 0;
}

}  // namespace

int ReadSectorsByPath(const std::string& path, void* buffer, std::uint32_t lba,
                      std::uint32_t byteCount) {
    return TransferSectors(true, path, buffer, lba, byteCount);
}

int WriteSectorsByPath(const std::string& path, const void* buffer, std::uint32_t lba,
                       std::uint32_t byteCount) {
    return TransferSectors(false, path, const_cast<void*>(buffer), lba, byteCount);
}

bool SetBridgeState(int port, std::uint8_t value) {
    const std::uint8_t cdb[12] = {0xFF, 0x04, 0x32, value, 0, 0, 0, 0, 0, 0, 0, 0};
    return SendPortCommand(port, false, cdb, sizeof(cdb), nullptr, 0) == kPortCommandOk;
}

}  // namespace kv
