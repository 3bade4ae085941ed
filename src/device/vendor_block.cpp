// Vendor block filling and the process-wide bus mode.
#include "device/vendor_block.h"

#include <atomic>

namespace kv {
namespace {

constexpr std::uint8_t kInitialBusMode = 2;

std::atomic<std::uint8_t> g_busMode{kInitialBusMode};
std::atomic<bool> g_keepMode1{false};

}  // namespace

void VendorBlock::PutByte(std::size_t index, std::uint8_t value) {
    if (index < kVendorBlockSize) {
        bytes[index] = value;
    }
}

void VendorBlock::PutBe16(std::size_t index, std::uint16_t value) {
    PutByte(index, static_cast<std::uint8_t>(value >> 8));
    PutByte(index + 1, static_cast<std::uint8_t>(value));
}

void VendorBlock::PutBe32(std::size_t index, std::uint32_t value) {
    PutBe16(index, static_cast<std::uint16_t>(value >> 16));
    PutBe16(index + 2, static_cast<std::uint16_t>(value));
}

VendorBlock MakeVendorBlock(BusPath bus, std::uint8_t subCode) {
    VendorBlock block;
    block.bytes[0] = kVendorOpcode;
    block.bytes[1] = bus == BusPath::UsbPath ? kUsbPathByte : kSataPathByte;
    block.bytes[2] = subCode;
    return block;
}

void PutFlashAddress(VendorBlock& block, const FlashAddress& address) {
    block.PutByte(3, address.Channel);
    block.PutByte(4, address.Bank);
    block.PutBe16(5, address.Block);
    block.PutBe16(7, address.Page);
    block.PutByte(9, address.Options[0]);
    block.PutByte(10, address.Options[1]);
    block.PutByte(11, address.Options[2]);
    block.PutBe32(12, address.BufferOffset);
}

CarrierOpcodes CarrierOpcodesFor(std::uint8_t busMode) {
    switch (busMode) {
        case 2:
            return CarrierOpcodes{0x16, 0x88, 0x14, 0x86};
        case 1:
            return CarrierOpcodes{0x0A, 0x8F, 0x08, 0x8A};
        default:
            return CarrierOpcodes{0x0A, 0xC5, 0x08, 0xC4};
    }
}

std::uint8_t VendorBusMode() {
    return g_busMode.load(std::memory_order_relaxed);
}

void SetVendorBusMode(std::uint8_t mode) {
    g_busMode.store(mode, std::memory_order_relaxed);
}

bool KeepVendorBusMode1() {
    return g_keepMode1.load(std::memory_order_relaxed);
}

void SetKeepVendorBusMode1(bool raised) {
    g_keepMode1.store(raised, std::memory_order_relaxed);
}

}  // namespace kv
