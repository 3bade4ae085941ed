// The flash-interface diagnostics of the test program.
//
// VC_TST_FlashDiagnostic (0x21): block byte 3 the kind, bytes 4-5
// (big-endian) its parameter; the answer sector holds byte 0 = 0 when the
// test passed, byte 0 = 1 and byte 1 = the code of the first failure when
// not. Each test covers every chip enable the image names (its channel and
// bank counts, the chip-enable codes of its banks):
//   kind 1: flash reset and ID read; a chip enable that does not answer logs
//           code 2 ("ReadFlashID fail");
//   kind 2, 3: a test of block `parameter` (kind 2 the fixed block, kind 3 a
//           random one): erase (code 4), program page 0 with a pattern
//           (code 5), read it back (code 7 when it differs), erase again
//           (code 9). Factory-marked blocks are passed over; a block the
//           chip enable does not have fails its erase.
// A "flash-if-fail:CODE" fault fails the kind that covers what the code
// names, on channel 0, bank 0: codes 4-8 and 11 in kind 2, code 9 in kind 3,
// every other code (1-3, 10, ...) in kind 1.
//
// VC_TST_GetDiagLog (0x22): u16 entry count at byte 0, the failures from
// byte 4 as 4-byte entries (channel, bank, code, kind), then an entry of four
// 0xFF bytes. The log keeps the failures since the program started.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "emulator/diag/diag_session.h"

namespace kv::emu {

class FlashDiagnostics {
  public:
    // The code of the first failure, 0 when the test passed; nothing for an
    // unknown kind.
    std::optional<std::uint8_t> Run(DiagSession& session, int kind, int parameter);
    void FillLog(std::span<std::uint8_t> out) const;

  private:
    struct Entry {
        std::uint8_t channel;
        std::uint8_t bank;
        std::uint8_t code;
        std::uint8_t kind;
    };
    static constexpr std::size_t kMaxEntries = 1024;

    void Log(std::uint8_t& first, int channel, int bank, std::uint8_t code, int kind);
    void IdTest(DiagSession& session, std::uint8_t& first);
    void BlockTest(DiagSession& session, int kind, int block, std::uint8_t& first);

    std::vector<Entry> log_;
};

}  // namespace kv::emu
