// The controller's vendor command block and the process-wide bus mode that
// picks the ATA opcodes carrying it to a SATA drive.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/port_device.h"

namespace kv {

// The longest block (the page write with its page mask in byte 16).
inline constexpr std::size_t kVendorBlockSize = 17;
// On a UsbPath port only this many bytes travel: the block is the SCSI CDB.
inline constexpr int kUsbVendorCdbLength = 12;

inline constexpr std::uint8_t kVendorOpcode = 0xFF;
inline constexpr std::uint8_t kUsbPathByte = 0x04;
inline constexpr std::uint8_t kSataPathByte = 0xE5;

// Byte 0 0xFF, byte 1 the path byte, byte 2 the sub-code, parameters from
// byte 3 with multi-byte values big-endian; bytes nobody names stay 0.
struct VendorBlock {
    std::uint8_t bytes[kVendorBlockSize] = {};

    std::uint8_t SubCode() const { return bytes[2]; }
    // Writes outside the block are dropped.
    void PutByte(std::size_t index, std::uint8_t value);
    void PutBe16(std::size_t index, std::uint16_t value);
    void PutBe32(std::size_t index, std::uint32_t value);
};

VendorBlock MakeVendorBlock(BusPath bus, std::uint8_t subCode);

// The address part of the flash commands 0x09, 0x0D, 0x89 and 0x8A.
struct FlashAddress {
    std::uint8_t Channel = 0;        // byte 3
    std::uint8_t Bank = 0;           // byte 4, chip-enable selector
    std::uint16_t Block = 0;         // bytes 5-6
    std::uint16_t Page = 0;          // bytes 7-8
    std::uint8_t Options[3] = {};    // bytes 9, 10, 11, as the procedure supplies them
    std::uint32_t BufferOffset = 0;  // bytes 12-15, offset in the controller's data buffer
};

void PutFlashAddress(VendorBlock& block, const FlashAddress& address);

// The ATA opcodes and protocol bytes of the two carriers on SataPath ports.
struct CarrierOpcodes {
    std::uint8_t writeProtocol = 0;  // command sector and data-out
    std::uint8_t writeCommand = 0;
    std::uint8_t readProtocol = 0;  // data-in
    std::uint8_t readCommand = 0;
};

// Mode 2: UDMA 0x88 / 0x86; mode 1: PIO 0x8F / 0x8A; any other: PIO 0xC5 / 0xC4.
CarrierOpcodes CarrierOpcodesFor(std::uint8_t busMode);

// `VendorBusMode`: one byte for the whole process, 2 at start. Read without a
// lock by every port's commands; it changes only between procedures.
std::uint8_t VendorBusMode();
void SetVendorBusMode(std::uint8_t mode);

// Raised when bus-path selection meets a bridge that carries PIO only; the
// pre-format procedures then put the mode back to 1 after their program ran.
bool KeepVendorBusMode1();
void SetKeepVendorBusMode1(bool raised);

}  // namespace kv
