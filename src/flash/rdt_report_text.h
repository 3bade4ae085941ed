// The texts of the RDT report tree: the factory-bad lines of the ".ms0"
// files and the report of the ".ms1" files, per chip-enable group. Every
// line ends with CR LF.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "flash/rdt_record.h"

namespace kv {

// Chip-enable groups: (bank / CeCount) x 4 + channel, 0..15.
inline constexpr int kRdtGroupCount = 16;

// The group of a die or a bitmap mark; -1 when `ceCount` is 0 or the group
// falls outside 0..15.
int RdtGroupOf(int bank, int channel, int ceCount);

// The present dies sorted into their groups, and the die addresses (low
// seven bits) remembered with the group they landed in.
struct RdtDieGroups {
    std::array<bool, kRdtGroupCount> Present{};
    std::array<std::vector<RdtDieRecord>, kRdtGroupCount> Dies;
    std::array<int, 128> GroupOfKey{};  // -1 = no present die has that address

    // The group of an error entry's die address; -1 when none.
    int GroupOfAddress(const RdtDieAddress& address) const { return GroupOfKey[address.Key]; }
};

RdtDieGroups GroupRdtDies(const std::vector<RdtDieRecord>& dies, int ceCount);

// "hh:mm:ss" of a tick count (2.5 ms each).
std::string RdtTimeText(std::uint32_t ticks);

// The first line of every ".ms0" file.
inline constexpr char kRdtFactoryTitle[] =
    "====================Factory Bad====================\r\n";

// "Bank:%d  unit:0x%04x:P  block:..." of one marked block pair.
std::string RdtFactoryLine(const RdtFactoryMark& mark, int ceCount);

// The report's opening: firmware version, inherit mark, thresholds, times,
// steps, clock and the legends.
std::string RdtReportHead(const RdtRecordData& record);

// The two lines of a die record.
std::string RdtDieLines(const RdtDieRecord& die, int ceCount);

// The character of a step code in the step column ("01A3456"); '?' for a
// code the list does not hold.
char RdtStepCharacter(std::uint8_t stepCode);

// One row of the "RDT Bad" table; empty for a plane mask other than 1, 2, 3.
std::string RdtErrorRow(const RdtErrorEntry& entry, int ceCount);

// The whole ".ms1" text of one group: the head, the group's dies, the error
// table with the group's entries, and with an inherit record the "Not ReRDT
// Record" block when the group has no entry.
std::string RdtGroupReport(const RdtRecordData& record, const std::vector<RdtDieRecord>& dies,
                           const std::vector<RdtErrorEntry>& entries, int ceCount);

// "%s_F%01d%01d" + extension: the serial text, group / 4 and group mod 4.
std::string RdtGroupFileName(const std::string& serial, int group, const char* extension);

}  // namespace kv
