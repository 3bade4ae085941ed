// What the fixture file says about one drive. Every key has a default, so a
// drive section may be empty:
//   Name        location text ("1.2")            state folder under StateDir
//   Bridge      "p713" (a SAT bridge, type 7)    INQUIRY bytes 36..39
//   Boot        loader                           used only without saved state
//   FlashId     EC D7 94 7A 54                   answered by every chip enable
//   TypeWord    0x084A (16 sectors per page, 128 pages per block, 4096 blocks,
//               one die, MLC, maker class 0)
//   Channels    4, Banks 2
//   FactoryBad  0 per die (plus any "C.B.K" blocks listed after the count)
//   GrownBad    0 (plus listed "C.B.K" blocks)
//   Temperature 35 (degrees)
//   SataSpeed   0x0E (generations 1 to 3)
//   UserSectors from the geometry (DefaultUserSectors)
//   Rdt         none, RdtSerial: empty (the drive's serial string)
//   VolumeDelay 2 seconds ("never" = a volume never shows up)
//   Fault       none
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "emulator/bridge_kind.h"
#include "emulator/fault_list.h"

namespace kv::emu {

// A block named in the fixture file: channel, chip enable and block number.
struct BlockAddress {
    int channel = 0;
    int chipEnable = 0;
    int block = 0;
    bool operator==(const BlockAddress&) const = default;
};

enum class BootState { Loader, Firmware };

enum class RdtRecord { None, Pass, P05, P06, P07, LtsPass, LtsNotRun, LtsFail };

struct DriveProfile {
    std::vector<int> location;  // hub ports from the root hub down, each from 1
    std::string name;
    BridgeCode bridge = {'p', '7', '1', '3'};
    BootState boot = BootState::Loader;
    std::array<std::uint8_t, 5> flashId = {0xEC, 0xD7, 0x94, 0x7A, 0x54};
    std::uint16_t typeWord = 0x084A;
    int channels = 4;
    int banks = 2;
    int factoryBadPerDie = 0;
    std::vector<BlockAddress> factoryBadBlocks;  // asked for explicitly (may be blocks 0..3)
    int grownBad = 0;
    std::vector<BlockAddress> grownBadBlocks;
    int temperature = 35;
    std::uint8_t sataSpeed = 0x0E;
    std::uint64_t userSectors = 0;  // 0 = from the geometry
    RdtRecord rdt = RdtRecord::None;
    std::string rdtSerial;
    std::optional<double> volumeDelaySeconds = 2.0;  // nothing = never
    std::vector<Fault> faults;

    bool HasFault(FaultKind kind) const {
        for (const Fault& f : faults) {
            if (f.kind == kind) {
                return true;
            }
        }
        return false;
    }
};

// "1.3.1" for {1, 3, 1}.
std::string LocationText(const std::vector<int>& location);

}  // namespace kv::emu
