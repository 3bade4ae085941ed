// The standard commands sent to a drive. On a SataPath port ATA commands go
// as SAT ATA PASS-THROUGH CDBs; on a UsbPath port the device answers SCSI
// INQUIRY and READ CAPACITY instead, and the ATA commands are skipped there
// (nothing is sent; the stated value is answered). Sector reads and writes
// are SCSI READ(10)/WRITE(10) on both paths.
//
// Every command answers 1 on success and 2 on failure. A request the driver
// completed with a SCSI status other than GOOD (a drive that aborted the
// command) is a failure. Byte counts are sectors × 512.
#pragma once

#include <cstdint>

namespace kv {

inline constexpr std::uint32_t kInquiryLength = 40;
// Largest sector count one READ(10)/WRITE(10) can carry.
inline constexpr std::uint32_t kMaxSectorsPerCommand = 0xFFFF;

// IDENTIFY DEVICE (EC), data-in. UsbPath: 2.
int ATA_Identify(int port, void* buffer, std::uint32_t sectors);
// SET FEATURES (EF): Features = feature, Count/LBA = the value's bytes from
// the least significant. UsbPath: 1.
int ATA_SetFeatures(int port, std::uint8_t feature, std::uint32_t value);
// SMART READ DATA (B0/D0), data-in. UsbPath: 2.
int ATA_SmartReadData(int port, void* buffer, std::uint32_t sectors);
// FLUSH CACHE (E7), STANDBY (E2), READ NATIVE MAX ADDRESS (F8) and its EXT
// form (27), non-data. UsbPath: 1.
int ATA_FlushCache(int port);
int ATA_Standby(int port);
int ATA_ReadNativeMax(int port);
int ATA_ReadNativeMaxExt(int port);
// SET MAX ADDRESS (F9) to a 28-bit LBA (bits above 27 are dropped). UsbPath: 1.
int ATA_SetMaxAddress(int port, std::uint32_t lba28);
// SET MAX ADDRESS EXT (37) to the 48-bit LBA lbaHigh:lbaLow. UsbPath: 1.
int ATA_SetMaxAddressExt(int port, std::uint32_t lbaLow, std::uint16_t lbaHigh);
// READ LOG EXT (2F, DMA 47) / WRITE LOG EXT (3F, DMA 57) of `sectors` (16 bits)
// from log `logAddress`, page `page`. UsbPath: 1.
int ATA_ReadLogExt(int port, void* buffer, std::uint16_t sectors, std::uint8_t logAddress,
                   std::uint16_t page, bool useDma);
int ATA_WriteLogExt(int port, const void* buffer, std::uint16_t sectors, std::uint8_t logAddress,
                    std::uint16_t page, bool useDma);

// INQUIRY, 40 bytes in. SataPath: 1 with the buffer untouched.
int SCSI_Inquiry(int port, void* buffer);
// READ CAPACITY(10), sectors × 512 bytes in. SataPath: 2.
int SCSI_ReadCapacity(int port, void* buffer, std::uint32_t sectors);

// READ(10) / WRITE(10) on both paths. On failure the buffer starts with the
// `RwErrorRecord` words 0-1 (kind 2 for a read, 1 for a write; the LBA). A
// count of more than 65,535 sectors, which the CDB cannot carry, fails unsent.
int ATA_ReadSectors(int port, void* buffer, std::uint32_t sectors, std::uint32_t lba);
int ATA_WriteSectors(int port, void* buffer, std::uint32_t sectors, std::uint32_t lba);

}  // namespace kv
