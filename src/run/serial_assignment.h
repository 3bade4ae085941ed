// The serial number, WWN and PPID every present port receives when a run
// starts, and the advance of the station's numbering ("SerialNum", "UID").
//
// Sources, strongest last: the next number of the station's sequence (or, in
// firmware-update mode, the number the drive already carries), the port's
// scanned bar code ("EnBarCode"), the port's "ReMP" number ("EnReMPSN"). The
// WWN is "UID" or the port's scanned WWN ("EnBarCodeWWN"), replaced by one
// composed from the serial number with "EnHalvoroSnToWWN". The PPID is the
// port's scanned PPID ("EnPPID").
//
// Numbering rule, when the run writes firmware (Download enabled, not the
// claim-new mode):
// - Numbers of drives whose Download failed ("SNErrReuse", `ReuseSnList`) go
//   out first, one per port that takes its number from the sequence, in list
//   order; each one handed out moves the list's next index on.
// - A port that gets a reused number leaves "SerialNum" as it is. Only a port
//   that is given "SerialNum" itself advances it (with "SNAutoInc"; decimal
//   with "SNDecimal", else hexadecimal). So once the reused numbers are gone
//   the regular sequence continues exactly where it stood: no number is
//   skipped and none is given twice. "SerialNum" never holds a reused number.
// - Likewise "UID" advances (with "UIDAutoInc", decimal with "UIDDecimal")
//   only for a port whose WWN is that UID: a scanned WWN or one composed from
//   the serial number does not use it up, and a scanned serial number does not
//   stop it (two drives never share a UID).
// A port whose number is scanned, comes from "ReMP" or from the drive itself
// takes nothing from the sequence or the reuse list.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/settings_keys.h"
#include "flash/operator_message.h"
#include "platform/platform.h"
#include "run/global_state.h"

namespace kv {

inline constexpr char kReMPMissingFormat[] = "Please Make sure the PortSN%2.2d does exist!!!";
inline constexpr char kReMPUnsetText[] = "N/A";

// A WWN composed from a serial number; `serial` is what the port's serial
// number becomes (modes 2 and 3 drop its first two characters).
struct SerialWwn {
    std::string wwn;
    std::string serial;
};

// "EnHalvoroSnToWWN" with mode `mode` ("HalvoroSnToWWNMode"), characters
// counted from 0, numbers read from their leading digits only, `today` the
// local date:
// 0: "0%x%x%2.2d%4.4x" of characters 9-10 minus 10, 11-12, 13-14, 15-19;
// 1: "0%x%x%2.2d%4.4x" of year - 2010, month, day, the last 7 characters;
// 2: the serial loses its first two characters, then "0%x%x%2.2d0%s" of
//    year - 2010, month, day and its last 3 characters;
// 3: as 2 with its last 4 characters and "0%x%x%2.2d%s".
// The WWN keeps at most 17 characters (its field). No value for another mode.
std::optional<SerialWwn> ComposeWwnFromSerial(int mode, std::string_view serial,
                                              const platform::LocalTime& today);

struct RunNumbering {
    bool claimNewMode = false;
    platform::LocalTime today;  // for the WWN composition
};

struct RunNumbers {
    // Set when a present port's "ReMP" number is "N/A": nothing was assigned
    // and no worker may start.
    std::optional<OperatorMessage> message;
    // Per port index, the serial number given to the port before a WWN mode
    // cut it: the number to remember for reuse when the port's Download fails.
    std::array<std::string, kMaxPorts> issuedSerial;
    std::array<bool, kMaxPorts> fromReuseList{};
};

// Fills `SerialNumber`, `Wwn` and `Ppid` of every present port (index order,
// at most 50) and advances "SerialNum", "UID" and the reuse list's next index
// by the rule above. Every text is copied bounded by its field.
RunNumbers AssignRunNumbers(config::Settings& settings, AP_GOLBAL& ap, std::span<PortRecord> ports,
                            const RunNumbering& run);

// After the run's rows are written, with "SNErrReuse" on: the new reuse list
// from the ports whose Download failed, remembering the numbers as they were
// issued (not as a WWN mode cut them), followed by the old entries not handed
// out.
void RebuildReuseAfterRun(const RunNumbers& numbers, std::span<const PortRecord> ports,
                          ReuseSnList& list);

}  // namespace kv
