// Block building and answer rules of the vendor commands.
#include "device/vendor_commands.h"

#include <cstring>

#include "device/port_device.h"
#include "device/transport.h"

namespace kv {
namespace {

VendorBlock BlockFor(int port, std::uint8_t subCode) {
    return MakeVendorBlock(PortDeviceTable().GetBusPath(port), subCode);
}

int DataIn(int port, const VendorBlock& block, void* buffer, std::uint32_t sectors) {
    return VC_SendCmd(port, true, block, buffer, sectors) ? kCommandOk : kCommandFailed;
}

// Data-out: the channel only reads the buffer.
int DataOut(int port, const VendorBlock& block, const void* buffer, std::uint32_t sectors) {
    return VC_SendCmd(port, false, block, const_cast<void*>(buffer), sectors) ? kCommandOk
                                                                              : kCommandFailed;
}

int NonData(int port, const VendorBlock& block) {
    return VC_SendCmd(port, false, block, nullptr, 0) ? kCommandOk : kCommandFailed;
}

// A one-byte answer in a zeroed sector: byte 0 on UsbPath; on SataPath byte 1
// behind the signature byte 0xE5, and 3 without it.
int ReadStatusByte(int port, const VendorBlock& block, std::uint8_t& value) {
    std::uint8_t sector[kSectorSize] = {};
    if (DataIn(port, block, sector, 1) != kCommandOk) {
        return kCommandFailed;
    }
    if (PortDeviceTable().GetBusPath(port) == BusPath::UsbPath) {
        value = sector[0];
        return kCommandOk;
    }
    if (sector[0] != kAnswerSignature) {
        return kCommandNoSignature;
    }
    value = sector[1];
    return kCommandOk;
}

VendorBlock FlashBlock(int port, std::uint8_t subCode, const FlashAddress& address) {
    VendorBlock block = BlockFor(port, subCode);
    PutFlashAddress(block, address);
    return block;
}

// Byte 3 and a 32-bit address in bytes 4-7.
VendorBlock AddressBlock(int port, std::uint8_t subCode, std::uint8_t byte3,
                         std::uint32_t address) {
    VendorBlock block = BlockFor(port, subCode);
    block.PutByte(3, byte3);
    block.PutBe32(4, address);
    return block;
}

}  // namespace

int VC_ST_GetReturn(int port, std::uint8_t& status) {
    return ReadStatusByte(port, BlockFor(port, 0x00), status);
}

int VC_GDP_ReadBadBlockInfo(int port, std::uint8_t channel, std::uint8_t index, std::uint32_t value,
                            void* buffer, std::uint32_t sectors) {
    VendorBlock block = BlockFor(port, 0x00);
    block.PutByte(3, channel);
    block.PutByte(4, index);
    block.PutBe32(12, value);
    return DataIn(port, block, buffer, sectors);
}

int VC_GDP_Exec(int port, std::uint8_t programType, std::uint8_t parameter) {
    if (programType < 1 || programType > 4) {
        return kCommandFailed;
    }
    VendorBlock block = BlockFor(port, programType);
    block.PutByte(3, parameter);
    return NonData(port, block);
}

int VC_GDP_ReadSysArea(int port, std::uint8_t selector, std::uint16_t word5, std::uint16_t word7,
                       std::uint8_t byte9, std::uint8_t byte10, std::uint32_t bufferOffset,
                       void* buffer, std::uint32_t sectors) {
    VendorBlock block = BlockFor(port, 0x04);
    block.PutByte(3, 0xFF);
    block.PutByte(4, selector);
    block.PutBe16(5, word5);
    block.PutBe16(7, word7);
    block.PutByte(9, byte9);
    block.PutByte(10, byte10);
    block.PutBe32(12, bufferOffset);
    return DataIn(port, block, buffer, sectors);
}

int VC_GDP_GetFlashInfo(int port, void* buffer, std::uint32_t sectors) {
    return DataIn(port, BlockFor(port, 0x05), buffer, sectors);
}

int VC_GDP_GetResult(int port, void* buffer) {
    return DataIn(port, BlockFor(port, 0x06), buffer, kGdpResultSectors);
}

int VC_GDP_GetSysBlocks(int port, void* buffer, std::uint32_t sectors) {
    return DataIn(port, BlockFor(port, 0x07), buffer, sectors);
}

int VC_GDP_WriteEraseCount(int port, std::uint8_t byte3, std::uint8_t byte4, const void* buffer,
                           std::uint32_t sectors) {
    VendorBlock block = BlockFor(port, 0x08);
    block.PutByte(3, byte3);
    block.PutByte(4, byte4);
    return DataOut(port, block, buffer, sectors);
}

int VC_GDP_WriteSmartInfo(int port, const void* buffer, std::uint32_t sectors) {
    return DataOut(port, BlockFor(port, 0x0E), buffer, sectors);
}

int VC_SYS_ReadEraseCount(int port, std::uint8_t byte3, std::uint8_t byte4, std::uint32_t value,
                          void* buffer, std::uint32_t sectors) {
    VendorBlock block = BlockFor(port, 0x01);
    block.PutByte(3, byte3);
    block.PutByte(4, byte4);
    block.PutBe32(12, value);
    return DataIn(port, block, buffer, sectors);
}

int VC_SYS_USB_GetSMARTInfo(int port, void* buffer) {
    return DataIn(port, BlockFor(port, 0x05), buffer, 1);
}

int VC_TST_FlashDiagnostic(int port, std::uint8_t kind, std::uint16_t parameter,
                           std::uint8_t& result) {
    VendorBlock block = BlockFor(port, 0x21);
    block.PutByte(3, kind);
    block.PutBe16(4, parameter);
    std::uint8_t sector[kSectorSize] = {};
    if (DataIn(port, block, sector, 1) != kCommandOk) {
        return kCommandFailed;
    }
    result = sector[0] == 1 ? sector[1] : 0xFF;
    return kCommandOk;
}

int VC_TST_GetDiagLog(int port, void* buffer, std::uint32_t sectors) {
    return DataIn(port, BlockFor(port, 0x22), buffer, sectors);
}

int VC_TST_ReadBuffer(int port, std::uint8_t byte3, std::uint32_t address, void* buffer,
                      std::uint32_t sectors) {
    return DataIn(port, AddressBlock(port, 0x23, byte3, address), buffer, sectors);
}

int VC_TST_WriteBuffer(int port, std::uint8_t byte3, std::uint32_t address, const void* buffer,
                       std::uint32_t sectors) {
    return DataOut(port, AddressBlock(port, 0x24, byte3, address), buffer, sectors);
}

int VC_SYS_GetCtrlInfo(int port, std::uint8_t (&info)[kCtrlInfoSize]) {
    std::uint8_t sector[kSectorSize] = {};
    if (DataIn(port, BlockFor(port, 0x80), sector, 1) != kCommandOk) {
        return kCommandFailed;
    }
    std::memcpy(info, sector, kCtrlInfoSize);
    return kCommandOk;
}

int VC_SYS_JumpToPRAM(int port) {
    return NonData(port, BlockFor(port, 0x82));
}

int VC_SYS_EnableVendorCmd(int port, std::uint8_t mode) {
    VendorBlock block = BlockFor(port, 0x83);
    block.PutByte(3, mode);
    return NonData(port, block);
}

int VC_SYS_ReadReg(int port, std::uint32_t address, std::uint8_t& value) {
    VendorBlock block = BlockFor(port, 0x84);
    block.PutBe32(3, address);
    return ReadStatusByte(port, block, value);
}

int VC_SYS_WriteReg(int port, std::uint32_t address, std::uint8_t value) {
    VendorBlock block = BlockFor(port, 0x85);
    block.PutBe32(3, address);
    block.PutByte(7, value);
    return NonData(port, block);
}

int VC_SYS_ReadMem(int port, std::uint8_t selector, std::uint32_t address, void* buffer,
                   std::uint32_t sectors) {
    return DataIn(port, AddressBlock(port, 0x86, selector, address), buffer, sectors);
}

int VC_SYS_WriteMem(int port, std::uint8_t selector, std::uint32_t address, const void* buffer,
                    std::uint32_t sectors) {
    return DataOut(port, AddressBlock(port, 0x87, selector, address), buffer, sectors);
}

int VC_FLH_ReadId(int port, std::uint8_t channel, std::uint8_t chipEnable, void* buffer,
                  std::uint32_t sectors) {
    VendorBlock block = BlockFor(port, 0x88);
    block.PutByte(3, channel);
    block.PutByte(4, chipEnable);
    return DataIn(port, block, buffer, sectors);
}

int VC_FLH_ReadPage(int port, const FlashAddress& address, void* buffer, std::uint32_t sectors) {
    return DataIn(port, FlashBlock(port, 0x89, address), buffer, sectors);
}

int VC_FLH_ReadPageRdt(int port, const FlashAddress& address, void* buffer, std::uint32_t sectors) {
    return DataIn(port, FlashBlock(port, 0x0D, address), buffer, sectors);
}

int VC_FLH_ReadFlashData(int port, const FlashAddress& address, void* buffer,
                         std::uint32_t sectors) {
    return DataIn(port, FlashBlock(port, 0x09, address), buffer, sectors);
}

int VC_FLH_WritePages(int port, const FlashAddress& address, std::uint8_t pageMask,
                      const void* buffer, std::uint32_t sectors) {
    VendorBlock block = FlashBlock(port, 0x8A, address);
    block.PutByte(16, pageMask);
    return DataOut(port, block, buffer, sectors);
}

int VC_FLH_EraseBlock(int port, std::uint8_t channel, std::uint8_t bank, std::uint16_t block) {
    VendorBlock command = BlockFor(port, 0x8B);
    command.PutByte(3, channel);
    command.PutByte(4, bank);
    command.PutBe16(5, block);
    return NonData(port, command);
}

}  // namespace kv
