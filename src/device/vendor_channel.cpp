// The two-phase SATA carrier and the direct USB route of vendor blocks.
#include "device/vendor_channel.h"

#include <cstring>
#include <limits>

#include "device/debug_log.h"
#include "device/port_device.h"
#include "device/transport.h"

namespace kv {
namespace {

// A carrier command: SAT ATA PASS-THROUGH (12) to LBA 0x12 0x34 lbaLow.
int SendCarrier(int port, bool isRead, void* buffer, std::uint32_t sectors, std::uint8_t lbaLow) {
    if (sectors > kMaxCarrierSectors) {
        return kPortRequestFailed;
    }
    const CarrierOpcodes opcodes = CarrierOpcodesFor(VendorBusMode());
    const std::uint8_t cdb[12] = {0xA1,
                                  isRead ? opcodes.readProtocol : opcodes.writeProtocol,
                                  static_cast<std::uint8_t>(isRead ? 0x0B : 0x03),
                                  0x00,
                                  static_cast<std::uint8_t>(sectors),
                                  lbaLow,
                                  0x34,
                                  0x12,
                                  0xE0,
                                  isRead ? opcodes.readCommand : opcodes.writeCommand,
                                  0x00,
                                  0x00};
    return SendPortCommand(port, isRead, cdb, sizeof(cdb), buffer, sectors * kSectorSize);
}

}  // namespace

int VC_SATA_WriteCmd(int port, const void* buffer, std::uint32_t sectors, std::uint8_t lbaLow) {
    // Data-out: the transport only reads the buffer.
    if (SendCarrier(port, false, const_cast<void*>(buffer), sectors, lbaLow) != kPortCommandOk) {
        OutputDbgMsg("FAILED(VC_SATA_WriteCmd)\r\n");
        return kCommandFailed;
    }
    return kCommandOk;
}

int VC_SATA_ReadCmd(int port, void* buffer, std::uint32_t sectors, std::uint8_t lbaLow) {
    if (SendCarrier(port, true, buffer, sectors, lbaLow) != kPortCommandOk) {
        OutputDbgMsg("FAILED(VC_SATA_ReadCmd)\r\n");
        return kCommandFailed;
    }
    return kCommandOk;
}

bool VC_SendCmd(int port, bool isRead, const VendorBlock& block, void* buffer,
                std::uint32_t sectors) {
    if (PortDeviceTable().GetBusPath(port) == BusPath::UsbPath) {
        if (sectors > std::numeric_limits<std::uint32_t>::max() / kSectorSize) {
            return false;
        }
        return SendPortCommand(port, isRead, block.bytes, kUsbVendorCdbLength, buffer,
                               sectors * kSectorSize) == kPortCommandOk;
    }

    // A data phase the carrier cannot count is refused before the command
    // phase, so the controller is never left waiting for it.
    if (sectors > kMaxCarrierSectors) {
        OutputDbgMsg(isRead ? "FAILED(VC_SATA_ReadCmd)\r\n" : "FAILED(VC_SATA_WriteCmd)\r\n");
        return false;
    }
    std::uint8_t commandSector[kSectorSize] = {};
    std::memcpy(commandSector, block.bytes, sizeof(block.bytes));
    int last = VC_SATA_WriteCmd(port, commandSector, 1, kCommandSectorLba);
    if (last == kCommandOk && sectors > 0) {
        last = isRead ? VC_SATA_ReadCmd(port, buffer, sectors, block.SubCode())
                      : VC_SATA_WriteCmd(port, buffer, sectors, block.SubCode());
    }
    return last == kCommandOk;
}

}  // namespace kv
