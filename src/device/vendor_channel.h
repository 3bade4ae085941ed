// The vendor command channel: how a vendor block and its data reach the
// controller. On a UsbPath port the block is the SCSI CDB; on a SataPath port
// it travels in a command sector written to LBA 0x1234FF by an ATA carrier
// command, and its data follow in a second carrier command addressed to
// LBA 0x1234 + sub-code.
#pragma once

#include <cstdint>

#include "device/vendor_block.h"

namespace kv {

// Vendor and standard command answers.
inline constexpr int kCommandOk = 1;
inline constexpr int kCommandFailed = 2;
inline constexpr int kCommandNoSignature = 3;  // a status answer without its 0xE5 signature

// The carrier's sector-count field is 8 bits wide.
inline constexpr std::uint32_t kMaxCarrierSectors = 255;
// LBA-low byte of the command sector.
inline constexpr std::uint8_t kCommandSectorLba = 0xFF;

// Sends the block, then `sectors` × 512 bytes in the block's direction
// (`isRead` set: from the controller). A non-data command has sectors 0.
// True when every phase sent answered 1; a failed command phase sends no
// data phase. The channel does not judge the SCSI status of the requests.
bool VC_SendCmd(int port, bool isRead, const VendorBlock& block, void* buffer,
                std::uint32_t sectors);

// One carrier command on a SataPath port: 1 success, 2 failure (logged).
// More than 255 sectors, which the carrier cannot count, fail unsent.
int VC_SATA_WriteCmd(int port, const void* buffer, std::uint32_t sectors, std::uint8_t lbaLow);
int VC_SATA_ReadCmd(int port, void* buffer, std::uint32_t sectors, std::uint8_t lbaLow);

}  // namespace kv
