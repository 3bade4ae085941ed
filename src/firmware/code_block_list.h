// The code blocks of a drive: up to four block numbers of the system area.
#pragma once

#include <cstdint>

namespace kv {

inline constexpr int kMaxCodeBlocks = 4;

struct CodeBlockList {
    std::uint16_t Blocks[kMaxCodeBlocks] = {};
    std::uint8_t Count = 0;  // at most 4
};

// The controller expects an odd third block to follow its even partner: when
// the third number is odd and neither the first nor the second is (third - 1),
// the first and third entries are exchanged. Applied once, when the list is
// obtained from the drive, so that the info page and the header page agree.
// A list of fewer than three blocks is left as it is.
void FixUpCodeBlockList(CodeBlockList& list);

}  // namespace kv
