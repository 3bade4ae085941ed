// The command transport: one CDB and an optional data buffer sent to a drive
// as one synchronous SCSI pass-through request. Every call opens the device
// path, issues exactly one request and closes it again; nothing is retried.
#pragma once

#include <cstdint>
#include <string>

namespace kv {

inline constexpr std::uint32_t kSectorSize = 512;
inline constexpr int kMaxCdbLength = 16;

// Time-outs of the pass-through requests, in seconds.
inline constexpr std::uint32_t kUsbPathReadTimeout = 300;    // data-in on a UsbPath port
inline constexpr std::uint32_t kSataPathReadTimeout = 10;    // data-in on a SataPath port
inline constexpr std::uint32_t kWriteTimeout = 10;           // data-out and non-data
inline constexpr std::uint32_t kUsbDeviceReadTimeout = 300;  // ReadSCSICommand, path with "usb"
inline constexpr std::uint32_t kOtherPathReadTimeout = 5;    // ReadSCSICommand, any other path

// SCSI status of a request that completed without a device error.
inline constexpr std::uint8_t kScsiStatusGood = 0;

// SendPortCommand and SendRawPortCommand answers.
inline constexpr int kPortCommandOk = 1;
inline constexpr int kPortNoDevice = -1;
inline constexpr int kPortRequestFailed = -2;

// The four request functions answer 1 when the request was carried out (the
// call succeeded and the platform's last error is 0), else 0. A device error
// (CHECK CONDITION) still counts as carried out; the request's SCSI status
// goes to `scsiStatus` when given, for callers that judge it. `transferred`
// (optional) receives the byte count reported back. `cdbLength` is 1..16; a
// byte count above 0 needs a buffer. A refused argument sends nothing.

// Data-in. Logs an open failure and a failed request.
int ReadSCSICommandWithTimeOutValue(const std::string& path, const std::uint8_t* cdb, int cdbLength,
                                    void* buffer, std::uint32_t byteCount,
                                    std::uint32_t* transferred, std::uint32_t timeoutSeconds,
                                    std::uint8_t* scsiStatus = nullptr);
// Data-out, or non-data with byte count 0. Logs an open failure and a failed request.
int WriteSCSICommandWithTimeOutValue(const std::string& path, const std::uint8_t* cdb,
                                     int cdbLength, const void* buffer, std::uint32_t byteCount,
                                     std::uint32_t* transferred, std::uint32_t timeoutSeconds,
                                     std::uint8_t* scsiStatus = nullptr);
// As above with the fixed time-outs and no messages.
int ReadSCSICommand(const std::string& path, const std::uint8_t* cdb, int cdbLength, void* buffer,
                    std::uint32_t byteCount, std::uint32_t* transferred,
                    std::uint8_t* scsiStatus = nullptr);
int WriteSCSICommand(const std::string& path, const std::uint8_t* cdb, int cdbLength,
                     const void* buffer, std::uint32_t byteCount, std::uint32_t* transferred,
                     std::uint8_t* scsiStatus = nullptr);

// To the drive on a port (0-based index): 1 carried out, -1 the port has no
// device path (nothing sent, nothing logged), -2 the request failed.
// A data-out buffer is only read.
int SendPortCommand(int port, bool isRead, const std::uint8_t* cdb, int cdbLength, void* buffer,
                    std::uint32_t byteCount, std::uint8_t* scsiStatus = nullptr);
// The same through ReadSCSICommand / WriteSCSICommand (fixed time-outs, no messages).
int SendRawPortCommand(int port, bool isRead, const std::uint8_t* cdb, int cdbLength, void* buffer,
                       std::uint32_t byteCount, std::uint8_t* scsiStatus = nullptr);

// SCSI READ(10) / WRITE(10) of whole sectors on a device path: 1 success, 0
// failure. A request completed with a SCSI status other than GOOD fails (the
// sectors did not move), and so does a byte count of more than 65,535 blocks,
// which the CDB's transfer length cannot carry (nothing is sent then).
int ReadSectorsByPath(const std::string& path, void* buffer, std::uint32_t lba,
                      std::uint32_t byteCount);
int WriteSectorsByPath(const std::string& path, const void* buffer, std::uint32_t lba,
                       std::uint32_t byteCount);

// The bridge-level command FF 04 32 value (12 bytes, non-data); true when
// SendPortCommand answered 1.
bool SetBridgeState(int port, std::uint8_t value);

}  // namespace kv
