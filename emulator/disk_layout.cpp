#include "emulator/disk_layout.h"

#include <algorithm>

#include "emulator/bytes.h"

namespace kv::emu {
namespace {

void PutChs(std::uint8_t* at, std::uint64_t lba) {
    const std::uint64_t perCylinder = static_cast<std::uint64_t>(kHeads) * kSectorsPerTrack;
    const std::uint64_t cylinder = lba / perCylinder;
    if (cylinder > 1023) {
        at[0] = 0xFE;
        at[1] = 0xFF;
        at[2] = 0xFF;
        return;
    }
    const std::uint64_t head = (lba / kSectorsPerTrack) % kHeads;
    const std::uint64_t sector = lba % kSectorsPerTrack + 1;
    at[0] = static_cast<std::uint8_t>(head);
    at[1] = static_cast<std::uint8_t>(sector | ((cylinder >> 2) & 0xC0));
    at[2] = static_cast<std::uint8_t>(cylinder & 0xFF);
}

}  // namespace

MbrSector EmptyMbr(std::uint32_t signature) {
    MbrSector mbr{};
    PutLe32(mbr.data() + 440, signature);
    mbr[510] = 0x55;
    mbr[511] = 0xAA;
    return mbr;
}

bool PutPartitions(MbrSector& mbr, const std::vector<PartitionEntry>& entries,
                   std::uint64_t capacity) {
    if (entries.size() > 4) {
        return false;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const PartitionEntry& e = entries[i];
        if (e.sectors == 0 || e.startSector == 0 || e.type == 0 ||
            e.startSector + e.sectors > capacity || e.startSector + e.sectors > 0xFFFFFFFFull) {
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            const PartitionEntry& o = entries[j];
            if (e.startSector < o.startSector + o.sectors &&
                o.startSector < e.startSector + e.sectors) {
                return false;
            }
        }
    }
    std::fill(mbr.begin() + 446, mbr.begin() + 510, std::uint8_t{0});
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const PartitionEntry& e = entries[i];
        std::uint8_t* p = mbr.data() + 446 + i * 16;
        p[0] = e.bootable ? 0x80 : 0x00;
        PutChs(p + 1, e.startSector);
        p[4] = e.type;
        PutChs(p + 5, e.startSector + e.sectors - 1);
        PutLe32(p + 8, static_cast<std::uint32_t>(e.startSector));
        PutLe32(p + 12, static_cast<std::uint32_t>(e.sectors));
    }
    mbr[510] = 0x55;
    mbr[511] = 0xAA;
    return true;
}

std::vector<PartitionEntry> ReadPartitions(const MbrSector& mbr) {
    std::vector<PartitionEntry> out;
    if (mbr[510] != 0x55 || mbr[511] != 0xAA) {
        return out;
    }
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t* p = mbr.data() + 446 + i * 16;
        PartitionEntry e;
        e.type = p[4];
        e.bootable = p[0] == 0x80;
        e.startSector = Le32(p + 8);
        e.sectors = Le32(p + 12);
        if (e.type != 0 && e.sectors != 0) {
            out.push_back(e);
        }
    }
    return out;
}

}  // namespace kv::emu
