// The drive's controller: the code it runs (LOADER, PROGRAM or FIRMWARE) and
// the two flags beside it, the vendor feature (SET FEATURES 0xDC, count 0x4B
// on, 0x56 off) and vendor commands enabled (VC_SYS_EnableVendorCmd). Both
// flags are off at power-up; a jump into program RAM and a firmware boot keep
// them.
//
// What each state answers:
//   - LOADER (no sound system area): IDENTIFY with the loader identity and
//     capacity 0, SET FEATURES 0xDC, the vendor channel (flash reads, program
//     RAM, registers, controller information, the jump); no user area.
//   - PROGRAM (after a jump into a "GDP_"/"TST_" image): as LOADER, plus flash
//     writes and erases, and the program's own sub-codes (RunningProgram).
//   - FIRMWARE (booted from a sound system area): the ATA commands of the
//     station (IDENTIFY from the header page's template with the capacity and
//     integrity word, SMART, logs, standby, flush, native max and set max,
//     sector I/O on user.img) and the firmware's vendor reads (bad-block info,
//     erase counts, system area, SMART on the USB path, the header page at
//     memory address 0).
// Memory, register, controller-information and flash write commands need
// vendor commands enabled; flash reads and the firmware's reads do not (the
// station reads the loader information before it enables them).
//
// On the SATA path vendor blocks arrive through the carrier: a write of one
// sector to LBA 0x1234FF brings the block, a read or write of LBA 0x1234xx
// (xx = the sub-code) its data; a read of 0x1234FF is the handshake, answered
// E5 4B 56 while the vendor feature is on. A block that may have a data phase
// waits for it; when the next command is something else the block runs as a
// command without data.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "emulator/ata_command.h"
#include "emulator/clock.h"
#include "emulator/drive_profile.h"
#include "emulator/drive_state.h"
#include "emulator/nand.h"
#include "emulator/program_ram.h"
#include "emulator/running_program.h"
#include "emulator/user_area.h"

namespace kv::emu {

enum class ControllerState { Loader, Program, Firmware };

// How long a firmware boot after VC_SYS_EnableVendorCmd 1 or 2 takes.
inline constexpr std::int64_t kBootDelayMs = 2000;

struct VendorReply {
    Fate fate = Fate::Answered;
    VendorAnswer answer;
};

class Controller {
  public:
    Controller(const DriveProfile& profile, Nand& nand, DriveState& state, UserArea& user,
               BusPath bus);
    ~Controller();

    void SetClock(Clock* clock) { clock_ = clock; }
    // Power-up: flags off, program RAM and program gone, LOADER or FIRMWARE by
    // the system area.
    void PowerUp();

    // SATA path: an ATA command from the bridge.
    AtaReply Ata(const AtaCommand& command);
    // USB path: a vendor block taken as a 12-byte CDB.
    VendorReply VendorDirect(const VendorCommand& command);
    // Sector I/O of READ(10) / WRITE(10) on either path.
    AtaReply Sectors(bool write, std::uint64_t lba, std::uint32_t count,
                     std::span<std::uint8_t> data);

    // Called before a command is looked at: lets pending boots complete and
    // tells whether the drive answers at all.
    Fate Begin();

    ControllerState state() const { return state_; }
    bool vendorFeature() const { return vendorFeature_; }
    bool vendorCommandsEnabled() const { return vendorEnabled_; }
    bool hung() const { return hung_; }
    // True once an "unplug" fault fired; the fixture then takes the drive off its port.
    bool TakeUnplugRequest();
    // Sectors the host may address: the set maximum + 1 in FIRMWARE, else 0.
    std::uint64_t Capacity() const;
    // True while a firmware boot started by the vendor enable is under way.
    bool Booting() const { return bootAtMs_.has_value(); }
    std::uint64_t NativeSectors() const { return profile_.userSectors; }
    // The firmware's header page (empty unless FIRMWARE).
    const std::vector<std::uint8_t>& headerPage() const { return header_; }

  private:
    struct Pending {
        std::array<std::uint8_t, 17> block{};
    };

    // Fault events; true when the drive hangs or leaves from this command on.
    Fate Fire(const DriveEvent& event);
    void BootFirmware(std::vector<std::uint8_t> header);
    bool ResolvePending();    // runs a waiting block as a command without data
    bool RefusesHandshake();  // counts the refusals of "handshake-fail:N"

    AtaReply Carrier(const AtaCommand& command);
    AtaReply FirmwareAta(const AtaCommand& command);
    AtaReply SectorIo(bool write, std::uint64_t lba, std::uint32_t count,
                      std::span<std::uint8_t> data);
    AtaReply Identify(const AtaCommand& command);

    VendorReply Vendor(const VendorCommand& command);
    VendorAnswer Dispatch(const VendorCommand& command);
    VendorAnswer SystemCommand(const VendorCommand& command);
    VendorAnswer ProgramCommand(const VendorCommand& command, bool& handled);
    VendorAnswer FirmwareRead(const VendorCommand& command);
    VendorAnswer FlashCommand(const VendorCommand& command);
    VendorAnswer ByteAnswer(const VendorCommand& command, std::uint8_t value) const;
    void CtrlInfo(std::span<std::uint8_t> out);

    const DriveProfile& profile_;
    Nand& nand_;
    DriveState& saved_;
    UserArea& user_;
    BusPath bus_;
    Clock* clock_ = nullptr;

    ControllerState state_ = ControllerState::Loader;
    bool vendorFeature_ = false;
    bool vendorEnabled_ = false;
    bool hung_ = false;
    bool busy_ = false;
    int handshakesRefused_ = 0;  // since power-up, for "handshake-fail:N"
    bool unplug_ = false;
    bool wroteSincePowerUp_ = false;
    std::optional<std::int64_t> bootAtMs_;
    std::vector<std::uint8_t> pendingHeader_;
    std::vector<std::uint8_t> header_;
    std::optional<Pending> pending_;
    int nativeMaxRead_ = 0;  // 28 or 48 when READ NATIVE MAX (EXT) came just before
    std::optional<std::uint64_t> volatileMax_;
    ProgramRam pram_;
    std::unique_ptr<RunningProgram> program_;
    std::vector<std::uint8_t> dataBuffer_;  // the controller's page buffer (two planes of 8 slices)
    std::vector<std::pair<std::uint32_t, std::uint8_t>> registers_;
};

}  // namespace kv::emu
