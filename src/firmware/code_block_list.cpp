#include "firmware/code_block_list.h"

#include <utility>

namespace kv {

void FixUpCodeBlockList(CodeBlockList& list) {
    if (list.Count < 3) {
        return;
    }
    const std::uint16_t third = list.Blocks[2];
    if ((third & 1u) == 0) {
        return;
    }
    const std::uint16_t partner = static_cast<std::uint16_t>(third - 1);
    if (list.Blocks[0] != partner && list.Blocks[1] != partner) {
        std::swap(list.Blocks[0], list.Blocks[2]);
    }
}

}  // namespace kv
