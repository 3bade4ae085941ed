#include "emulator/sense_data.h"

namespace kv::emu {

ExecuteResult Good(std::size_t bytes) {
    ExecuteResult r;
    r.transportOk = true;
    r.scsiStatus = kScsiGood;
    r.bytesTransferred = bytes;
    return r;
}

ExecuteResult CheckCondition(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq) {
    ExecuteResult r;
    r.transportOk = true;
    r.scsiStatus = kScsiCheckCondition;
    r.sense[0] = 0x70;
    r.sense[2] = key;
    r.sense[7] = 10;
    r.sense[12] = asc;
    r.sense[13] = ascq;
    r.senseLength = 18;
    return r;
}

ExecuteResult AtaRegisters(const AtaReply& reply, bool ext, std::size_t bytes) {
    ExecuteResult r;
    r.transportOk = true;
    r.scsiStatus = kScsiCheckCondition;
    r.bytesTransferred = bytes;
    r.sense[0] = 0x72;
    r.sense[1] = reply.ok ? kSenseRecovered : kSenseAborted;
    r.sense[2] = 0x00;
    r.sense[3] = 0x1D;  // ATA pass-through information available
    r.sense[7] = 14;
    std::uint8_t* d = r.sense.data() + 8;
    d[0] = 0x09;  // ATA status return descriptor
    d[1] = 0x0C;
    d[2] = ext ? 1 : 0;
    d[3] = reply.error;
    d[4] = static_cast<std::uint8_t>(reply.count >> 8);
    d[5] = static_cast<std::uint8_t>(reply.count);
    d[6] = static_cast<std::uint8_t>(reply.lba >> 24);
    d[7] = static_cast<std::uint8_t>(reply.lba);
    d[8] = static_cast<std::uint8_t>(reply.lba >> 32);
    d[9] = static_cast<std::uint8_t>(reply.lba >> 8);
    d[10] = static_cast<std::uint8_t>(reply.lba >> 40);
    d[11] = static_cast<std::uint8_t>(reply.lba >> 16);
    d[12] = reply.device;
    d[13] = reply.ok ? reply.status : static_cast<std::uint8_t>(reply.status | 0x01);
    r.senseLength = 22;
    return r;
}

}  // namespace kv::emu
