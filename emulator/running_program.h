// The seam between the controller and a program the station loaded into
// program RAM and jumped into (the diagnostic program "GDP_" or the test
// program "TST_").
//
// While the controller is in its PROGRAM state it hands these vendor
// sub-codes to the running program:
//   0x00  status read (data-in, one sector, no parameters)  -> Status()
//   0x00  bad-block info (more sectors or parameters)        -> Handle()
//   0x01..0x04 without data: start program 1..4 (byte 3 = exec flags) -> Handle()
//   0x04  data-in: read the system area                      -> Handle()
//   0x05..0x08, 0x0E                                         -> Handle()
//   0x21..0x24 (test program commands)                       -> Handle()
// Everything else (memory, registers, flash page reads, writes and erases,
// controller information) the controller answers itself. The controller also
// fires the fault events "program1".."program4" when a program start arrives,
// and answers status reads with 0xAA itself once a "busy" fault is active;
// the faults it leaves to the program are "bad-over-ratio" (besides the
// extra factory bad blocks the flash already carries), "dram-fail",
// "flash-if-fail:CODE" and "table-damage:I.P" (in DriveProfile::faults).
//
// A program is made by MakeRunningProgram() at the jump and destroyed at the
// next jump, power-up or unplug. It must not keep references beyond the
// context it is given, which outlives it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kv::emu {

class Clock;
class DriveState;
class Nand;
struct DriveProfile;

// How the vendor block reached the controller.
enum class BusPath { Usb, Sata };

enum class Transfer { None, In, Out };

// One vendor command as the controller received it.
struct VendorCommand {
    // The block bytes that reached the controller: 12 on the USB path (bytes 12
    // and up stay 0), 17 on the SATA path (the start of the command sector).
    std::array<std::uint8_t, 17> block{};
    Transfer transfer = Transfer::None;
    // The data phase: for In the program fills it, for Out it reads it.
    // sectors * 512 bytes.
    std::span<std::uint8_t> data;
    std::uint32_t sectors = 0;

    std::uint8_t subCode() const { return block[2]; }
};

struct VendorAnswer {
    bool ok = false;        // false completes the command with an error
    std::size_t bytes = 0;  // data bytes moved (In: bytes filled)
};

enum class ProgramKind { Diagnostic, Test };  // "GDP_" or "TST_" at image offset 0x300

// What a running program may use. All references outlive the program.
struct ProgramContext {
    const DriveProfile& profile;  // the drive's fixture keys (geometry, flash ID, faults, Rdt)
    Nand& nand;                   // the flash (read, program, erase, bad-block knowledge)
    Clock& clock;                 // the drive's clock, for the duration of the work
    DriveState& state;            // saved areas: erase counts, SMART sector
    BusPath bus;
    ProgramKind kind;
    std::vector<std::uint8_t> image;  // program RAM as it was at the jump (131,072 bytes)
};

class RunningProgram {
  public:
    virtual ~RunningProgram() = default;
    // The answer of a status read: 0xAA while a started program still works,
    // else its end status. The controller adds the bus path's signature.
    virtual std::uint8_t Status() = 0;
    // Every other sub-code listed above.
    virtual VendorAnswer Handle(const VendorCommand& command) = 0;
};

// Makes the program for an image that carries "GDP_" or "TST_".
std::unique_ptr<RunningProgram> MakeRunningProgram(const ProgramContext& context);

// Writes what a drive's flash carries from the factory before the station
// first sees it (the reliability-test records asked for by the Rdt keys).
// Called once, when a drive without saved state is made.
void SeedFactoryFlash(const DriveProfile& profile, Nand& nand);

}  // namespace kv::emu
