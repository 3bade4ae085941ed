// The text form of a drive's later (grown) bad-block tables, as "Get Later
// Table" writes it and "Put Later Table" reads it (CR LF line ends):
//
//   V#12              format code 11, 12, 20, 21 or 30; an empty line otherwise
//   B#00              a bank ...
//   D#00              ... and die, and the block that holds their tables
//   S#0123
//   C#00T#0002,U#0456,4U#0789,3
//                     per channel: the entry count, then block and kind
//   C#01              a channel without a table
//
// Every number is hexadecimal except the digits after "B#0", "D#0" and "C#0".
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "flash/flash_config.h"

namespace kv {

// The later-table slice: the signature, a u16 count at 16, 4-byte entries
// (u16 block, kind, spare) from 32.
inline constexpr std::size_t kLaterCountOffset = 16;
inline constexpr std::size_t kLaterEntriesOffset = 32;
inline constexpr std::size_t kLaterEntrySize = 4;

struct LaterTableEntry {
    std::uint16_t Block = 0;
    std::uint8_t Kind = 0;
};

struct LaterTableChannel {
    int Channel = 0;
    bool HasTable = false;
    std::vector<LaterTableEntry> Entries;
};

// One bank and die: the block holding their tables and the channel tables.
struct LaterTableUnit {
    int Bank = 0;
    int Die = 0;
    std::uint16_t Block = 0;
    std::vector<LaterTableChannel> Channels;
};

struct LaterTableText {
    std::vector<LaterTableUnit> Units;
};

// What a text is checked against.
struct LaterTableGeometry {
    int Channels = 0;
    int Banks = 0;
    int Dies = 0;
    std::uint32_t Blocks = 0;  // block numbers below this count are valid
    std::size_t PageBytes = 0;
};

LaterTableGeometry LaterTableGeometryOf(const FlashConfig& flash);

// The most entries one channel slice holds.
std::size_t MaxLaterTableEntries(std::size_t pageBytes);

// Appends the lines of one channel slice ("C#0c", and its table when the
// slice carries the later-table signature) to `text`. The entry count is
// bounded by the slice.
void AppendLaterTableChannel(std::string& text, int channel, std::span<const std::uint8_t> slice);

// Reads a whole text and checks every record: the form, the order (B, D, S,
// then the channels in rising order), banks, dies and channels within the
// geometry, each bank and die once, blocks below the block count, kinds of
// one hex digit, and each count equal to the entries that follow it and
// within what a slice holds. False with `error` naming the line on a fault.
bool ParseLaterTableText(std::string_view text, const LaterTableGeometry& geometry,
                         LaterTableText& out, std::string* error = nullptr);

// Builds one channel slice of `pageBytes` (0xFF where no entry is) from a
// channel's table.
void BuildLaterTableSlice(const LaterTableChannel& channel, std::span<std::uint8_t> slice);

}  // namespace kv
