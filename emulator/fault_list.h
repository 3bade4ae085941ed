// Faults a fixture injects into a drive (the drive key "Fault", a
// comma-separated list):
//   id-mismatch:C.B     chip enable B of channel C answers another flash ID
//   bad-over-ratio      more factory bad blocks than any defect ratio allows
//   dram-fail           the buffer test reads back a wrong word
//   flash-if-fail:CODE  the flash-interface diagnostic fails with that log code
//   handshake-fail      vendor mode never answers its handshake
//   handshake-fail:N    the first N handshakes after power-up go unanswered
//   read-error:LBA      sector reads covering that LBA fail
//   write-error:LBA     sector writes covering that LBA fail
//   miscompare:LBA      reading that LBA returns one wrong word
//   table-damage:I.P    table page P of code block I carries a broken signature
//   hang:EVENT          from EVENT on the drive answers nothing
//   busy:EVENT          from EVENT on the running program answers 0xAA forever
//   unplug:EVENT        at EVENT the drive disappears from its port
// EVENT is a point a drive reaches: "program1" .. "program4" (a program
// start), "write" (the first sector write after power-up), "0xNN" (a vendor
// sub-code arriving) or "power" (power-up itself).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kv::emu {

struct DriveEvent {
    enum class Kind { None, ProgramStart, FirstWrite, SubCode, PowerUp };
    Kind kind = Kind::None;
    int value = 0;  // program number or sub-code
    bool operator==(const DriveEvent&) const = default;
};

enum class FaultKind {
    IdMismatch,
    BadOverRatio,
    DramFail,
    FlashIfFail,
    HandshakeFail,
    ReadError,
    WriteError,
    Miscompare,
    TableDamage,
    Hang,
    Busy,
    Unplug,
};

struct Fault {
    FaultKind kind = FaultKind::HandshakeFail;
    int first = 0;   // channel (id-mismatch), code (flash-if-fail), code block (table-damage),
                     // unanswered handshakes (handshake-fail; 0 = all)
    int second = 0;  // chip enable (id-mismatch), table page (table-damage)
    std::uint64_t lba = 0;  // read-error, write-error, miscompare
    DriveEvent event;       // hang, busy, unplug
    std::string text;       // the entry as written
};

// Parses the whole value of a "Fault" key. On a refusal returns false and
// names the offending entry in `error`.
bool ParseFaultList(const std::string& value, std::vector<Fault>& out, std::string& error);

bool ParseDriveEvent(const std::string& text, DriveEvent& out);

}  // namespace kv::emu
