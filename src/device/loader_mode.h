// Loader mode: whether a drive's controller runs its loader (an empty or
// freshly erased drive that shows a loader identity), how such a drive is
// switched into vendor-command mode, and the two pre-run captures of a
// drive's erase-count area and SMART sector into the port's save areas.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv {

// The loader identities.
inline constexpr char kUsbLoaderIdentity[] = "Vudivod EZA USB Loader ";  // 23 characters
inline constexpr char kSataLoaderModel[] = "Vudivod EZA SATA Loader Loader Device";
inline constexpr char kControllerLoaderModel[] = "Korvane KVR51X SATA SSD Loader Device";
// Only the first 36 characters of the two SATA models are compared.
inline constexpr std::size_t kSataLoaderCompareLength = 36;

// Attempts and waits of the vendor-mode entry.
inline constexpr int kUsbInquiryAttempts = 11;
inline constexpr std::int64_t kUsbInquiryWaitMs = 1000;
inline constexpr int kLoaderLeaveChecks = 3;
inline constexpr std::int64_t kLoaderLeaveWaitMs = 3000;
inline constexpr int kHandshakeAttempts = 11;
inline constexpr std::int64_t kHandshakeWaitMs = 1000;

// Buffer the captures and the vendor-mode entry need (64 KiB).
inline constexpr std::size_t kLoaderScratchSize = 65536;

// True when the drive shows a loader identity (INQUIRY on a UsbPath port,
// IDENTIFY model on a SataPath port); a failed command reads as false.
bool IsLoaderMode(int port);

// True only on a SataPath port whose IDENTIFY model is the controller's own
// loader model. On a UsbPath port logs "######### - USB Command Path!".
bool IsSataLoaderDevice(int port);

// Readies the drive for vendor commands; true at once, nothing sent, when it
// is not in loader mode. `buffer` is scratch of at least 64 KiB. Same shape
// as `EnterVendorModeFn`.
bool EnterVendorMode(int port, std::uint8_t* buffer);

// Vendor mode, then the 128-sector erase-count read into `buffer` (64 KiB)
// and into the port's erase-count area, dumped as "A0_00_00.raw" while debug
// dumps are on. The area is cleared first; false (area left clear, flag
// lowered) when vendor mode or the read fails. Sets the area's flag.
bool ReadEraseCount(int port, std::uint8_t* buffer);

// Vendor mode, then the SMART sector (UsbPath: VC_SYS_USB_GetSMARTInfo,
// SataPath: SMART READ DATA) into `buffer` (512 bytes) and into the port's
// SMART area. On failure prints its message to the standard output and
// answers false (flag lowered). Sets the area's flag.
bool ReadSmartInfo(int port, std::uint8_t* buffer);

}  // namespace kv
