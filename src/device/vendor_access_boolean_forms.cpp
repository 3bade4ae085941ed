#include "device/vendor_access_boolean_forms.h"

#include "device/ata_commands.h"
#include "device/vendor_channel.h"
#include "device/vendor_commands.h"

namespace kv::va {
namespace {

bool Ok(int answer) {
    return answer == kCommandOk;
}

}  // namespace

bool VC_GDP_GetFlashInfo(int port, void* buffer) {
    return Ok(::kv::VC_GDP_GetFlashInfo(port, buffer, 1));
}

bool VC_FLH_ReadId(int port, std::uint8_t channel, std::uint8_t chipEnable, void* buffer) {
    return Ok(::kv::VC_FLH_ReadId(port, channel, chipEnable, buffer, 1));
}

bool VC_GDP_GetSysBlocks(int port, void* buffer) {
    return Ok(::kv::VC_GDP_GetSysBlocks(port, buffer, 1));
}

bool VC_TST_GetDiagLog(int port, void* buffer) {
    return Ok(::kv::VC_TST_GetDiagLog(port, buffer, 1));
}

bool VC_SYS_ReadReg(int port, std::uint32_t address, std::uint8_t& value) {
    return Ok(::kv::VC_SYS_ReadReg(port, address, value));
}

bool VC_SYS_WriteReg(int port, std::uint32_t address, std::uint8_t value) {
    return Ok(::kv::VC_SYS_WriteReg(port, address, value));
}

bool VC_SYS_GetCtrlInfo(int port, std::uint8_t (&info)[kCtrlInfoSize]) {
    return Ok(::kv::VC_SYS_GetCtrlInfo(port, info));
}

bool VC_FLH_EraseBlock(int port, std::uint8_t channel, std::uint8_t bank, std::uint16_t block) {
    return Ok(::kv::VC_FLH_EraseBlock(port, channel, bank, block));
}

bool VC_GDP_GetResult(int port, std::uint8_t* buffer) {
    if (buffer == nullptr) {
        return false;
    }
    buffer[0] = 0;
    return Ok(::kv::VC_GDP_GetResult(port, buffer));
}

bool VC_GDP_WriteEraseCount(int port, std::uint8_t byte3, std::uint8_t byte4, const void* buffer,
                            std::uint32_t sectors) {
    return Ok(::kv::VC_GDP_WriteEraseCount(port, byte3, byte4, buffer, sectors));
}

bool VC_GDP_WriteSmartInfo(int port, const void* buffer, std::uint32_t sectors) {
    return Ok(::kv::VC_GDP_WriteSmartInfo(port, buffer, sectors));
}

bool VC_SYS_ReadEraseCount(int port, std::uint8_t byte3, std::uint8_t byte4, std::uint32_t value,
                           void* buffer, std::uint32_t sectors) {
    return Ok(::kv::VC_SYS_ReadEraseCount(port, byte3, byte4, value, buffer, sectors));
}

bool VC_GDP_ReadBadBlockInfo(int port, std::uint8_t channel, std::uint8_t index,
                             std::uint32_t value, void* buffer, std::uint32_t sectors) {
    return Ok(::kv::VC_GDP_ReadBadBlockInfo(port, channel, index, value, buffer, sectors));
}

bool VC_SATA_ReadCmd(int port, void* buffer, std::uint32_t sectors, std::uint8_t lbaLow) {
    return Ok(::kv::VC_SATA_ReadCmd(port, buffer, sectors, lbaLow));
}

bool ATA_Identify(int port, void* buffer, std::uint32_t sectors) {
    return Ok(::kv::ATA_Identify(port, buffer, sectors));
}

bool ATA_WriteSectors(int port, void* buffer, std::uint32_t sectors, std::uint32_t lba) {
    return Ok(::kv::ATA_WriteSectors(port, buffer, sectors, lba));
}

}  // namespace kv::va
