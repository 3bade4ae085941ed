// CDB building of the standard commands and their per-path routing.
#include "device/ata_commands.h"

#include "device/port_device.h"
#include "device/rw_error_record.h"
#include "device/transport.h"
#include "device/vendor_channel.h"

namespace kv {
namespace {

bool OnUsbPath(int port) {
    return PortDeviceTable().GetBusPath(port) == BusPath::UsbPath;
}

// One command through SendPortCommand: 1 when carried out with GOOD status.
int Send(int port, bool isRead, const std::uint8_t* cdb, int cdbLength, void* buffer,
         std::uint32_t byteCount) {
    std::uint8_t status = kScsiStatusGood;
    const int result = SendPortCommand(port, isRead, cdb, cdbLength, buffer, byteCount, &status);
    return result == kPortCommandOk && status == kScsiStatusGood ? kCommandOk : kCommandFailed;
}

template <std::size_t N>
int SendNonData(int port, const std::uint8_t (&cdb)[N]) {
    return Send(port, false, cdb, static_cast<int>(N), nullptr, 0);
}

std::uint8_t Byte(std::uint64_t value, int index) {
    return static_cast<std::uint8_t>(value >> (8 * index));
}

int LogExt(int port, bool isRead, void* buffer, std::uint16_t sectors, std::uint8_t logAddress,
           std::uint16_t page, bool useDma) {
    if (OnUsbPath(port)) {
        return kCommandOk;
    }
    const std::uint8_t protocol = isRead ? (useDma ? 0x15 : 0x09) : (useDma ? 0x17 : 0x0B);
    const std::uint8_t command = isRead ? (useDma ? 0x47 : 0x2F) : (useDma ? 0x57 : 0x3F);
    const std::uint8_t cdb[16] = {0x85,
                                  protocol,
                                  static_cast<std::uint8_t>(isRead ? 0x0B : 0x03),
                                  0x00,
                                  0x00,
                                  Byte(sectors, 1),
                                  Byte(sectors, 0),
                                  0x00,
                                  logAddress,
                                  Byte(page, 1),
                                  Byte(page, 0),
                                  0x00,
                                  0x00,
                                  0xE0,
                                  command,
                                  0x00};
    return Send(port, isRead, cdb, sizeof(cdb), buffer,
                static_cast<std::uint32_t>(sectors) * kSectorSize);
}

int SectorCommand(int port, bool isRead, void* buffer, std::uint32_t sectors, std::uint32_t lba) {
    int result = kCommandFailed;
    if (sectors <= kMaxSectorsPerCommand) {
        const std::uint8_t cdb[12] = {static_cast<std::uint8_t>(isRead ? 0x28 : 0x2A),
                                      0x00,
                                      Byte(lba, 3),
                                      Byte(lba, 2),
                                      Byte(lba, 1),
                                      Byte(lba, 0),
                                      0x00,
                                      Byte(sectors, 1),
                                      Byte(sectors, 0),
                                      0x00,
                                      0x00,
                                      0x00};
        const std::uint32_t byteCount = (sectors & 0xFFFFFF) * kSectorSize;
        std::uint8_t status = kScsiStatusGood;
        // Sector data goes without the vendor time-outs on SataPath ports.
        const int sent =
            OnUsbPath(port)
                ? SendPortCommand(port, isRead, cdb, sizeof(cdb), buffer, byteCount, &status)
                : SendRawPortCommand(port, isRead, cdb, sizeof(cdb), buffer, byteCount, &status);
        result = sent == kPortCommandOk && status == kScsiStatusGood ? kCommandOk : kCommandFailed;
    }
    if (result != kCommandOk && buffer != nullptr) {
        RwErrorRecord record;
        record.Kind = isRead ? kRwReadFailed : kRwWriteFailed;
        record.Lba = lba;
        StoreRwErrorRecord(static_cast<std::uint8_t*>(buffer), record, 2);
    }
    return result;
}

}  // namespace

int ATA_Identify(int port, void* buffer, std::uint32_t sectors) {
    if (OnUsbPath(port)) {
        return kCommandFailed;
    }
    const std::uint8_t cdb[12] = {0xA1, 0x08, 0x0B, 0x00, Byte(sectors, 0), 0x00, 0x00, 0x00,
                                  0xE0, 0xEC, 0x00, 0x00};
    return Send(port, true, cdb, sizeof(cdb), buffer, sectors * kSectorSize);
}

int ATA_SetFeatures(int port, std::uint8_t feature, std::uint32_t value) {
    if (OnUsbPath(port)) {
        return kCommandOk;
    }
    const std::uint8_t cdb[12] = {0xA1,           0x06,           0x00,           feature,
                                  Byte(value, 0), Byte(value, 1), Byte(value, 2), Byte(value, 3),
                                  0xE0,           0xEF,           0x00,           0x00};
    return SendNonData(port, cdb);
}

int ATA_SmartReadData(int port, void* buffer, std::uint32_t sectors) {
    if (OnUsbPath(port)) {
        return kCommandFailed;
    }
    const std::uint8_t cdb[12] = {0xA1, 0x08, 0x0B, 0xD0, Byte(sectors, 0), 0x00, 0x4F, 0xC2,
                                  0x00, 0xB0, 0x00, 0x00};
    return Send(port, true, cdb, sizeof(cdb), buffer, sectors * kSectorSize);
}

int ATA_FlushCache(int port) {
    if (OnUsbPath(port)) {
        return kCommandOk;
    }
    const std::uint8_t cdb[12] = {0xA1, 0x06, 0x00, 0x00, 0x00, 0x00,
                                  0x00, 0xE0, 0x00, 0xE7, 0x00, 0x00};
    return SendNonData(port, cdb);
}

int ATA_Standby(int port) {
    if (OnUsbPath(port)) {
        return kCommandOk;
    }
    const std::uint8_t cdb[12] = {0xA1, 0x06, 0x00, 0x00, 0x00, 0x00,
                                  0x00, 0xE0, 0x00, 0xE2, 0x00, 0x00};
    return SendNonData(port, cdb);
}

int ATA_ReadNativeMax(int port) {
    if (OnUsbPath(port)) {
        return kCommandOk;
    }
    const std::uint8_t cdb[12] = {0xA1, 0x06, 0x00, 0x00, 0x00, 0x00,
                                  0x00, 0x00, 0x00, 0xF8, 0x00, 0x00};
    return SendNonData(port, cdb);
}

int ATA_ReadNativeMaxExt(int port) {
    if (OnUsbPath(port)) {
        return kCommandOk;
    }
    const std::uint8_t cdb[16] = {0x85, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                  0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x27, 0x00};
    return SendNonData(port, cdb);
}

int ATA_SetMaxAddress(int port, std::uint32_t lba28) {
    if (OnUsbPath(port)) {
        return kCommandOk;
    }
    const std::uint8_t device = static_cast<std::uint8_t>(0xE0 | ((lba28 >> 24) & 0x0F));
    const std::uint8_t cdb[12] = {0xA1,   0x06,           0x00,           0x00,
                                  0x01,   Byte(lba28, 0), Byte(lba28, 1), Byte(lba28, 2),
                                  device, 0xF9,           0x00,           0x00};
    return SendNonData(port, cdb);
}

int ATA_SetMaxAddressExt(int port, std::uint32_t lbaLow, std::uint16_t lbaHigh) {
    if (OnUsbPath(port)) {
        return kCommandOk;
    }
    const std::uint64_t lba = (static_cast<std::uint64_t>(lbaHigh) << 32) | lbaLow;
    const std::uint8_t cdb[16] = {0x85,         0x07,         0x00,         0x00,
                                  0x00,         0x00,         0x01,         Byte(lba, 3),
                                  Byte(lba, 0), Byte(lba, 4), Byte(lba, 1), Byte(lba, 5),
                                  Byte(lba, 2), 0xE0,         0x37,         0x00};
    return SendNonData(port, cdb);
}

int ATA_ReadLogExt(int port, void* buffer, std::uint16_t sectors, std::uint8_t logAddress,
                   std::uint16_t page, bool useDma) {
    return LogExt(port, true, buffer, sectors, logAddress, page, useDma);
}

int ATA_WriteLogExt(int port, const void* buffer, std::uint16_t sectors, std::uint8_t logAddress,
                    std::uint16_t page, bool useDma) {
    // Data-out: the transport only reads the buffer.
    return LogExt(port, false, const_cast<void*>(buffer), sectors, logAddress, page, useDma);
}

int SCSI_Inquiry(int port, void* buffer) {
    if (!OnUsbPath(port)) {
        return kCommandOk;
    }
    const std::uint8_t cdb[12] = {0x12, 0x00, 0x00, 0x00, 0x28, 0x00,
                                  0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    return Send(port, true, cdb, sizeof(cdb), buffer, kInquiryLength);
}

int SCSI_ReadCapacity(int port, void* buffer, std::uint32_t sectors) {
    if (!OnUsbPath(port)) {
        return kCommandFailed;
    }
    const std::uint8_t cdb[12] = {0x25};
    return Send(port, true, cdb, sizeof(cdb), buffer, sectors * kSectorSize);
}

int ATA_ReadSectors(int port, void* buffer, std::uint32_t sectors, std::uint32_t lba) {
    return SectorCommand(port, true, buffer, sectors, lba);
}

int ATA_WriteSectors(int port, void* buffer, std::uint32_t sectors, std::uint32_t lba) {
    return SectorCommand(port, false, buffer, sectors, lba);
}

}  // namespace kv
