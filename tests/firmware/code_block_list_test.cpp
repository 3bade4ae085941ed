#include "firmware/code_block_list.h"

#include <gtest/gtest.h>

#include <array>

namespace kv {
namespace {

TEST(CodeBlockListTest, OddThirdBlockMovesToTheFrontUnlessItsPartnerIsListed) {
    struct Case {
        std::array<std::uint16_t, 4> in;
        std::uint8_t count;
        std::array<std::uint16_t, 4> out;
    };
    const Case cases[] = {
        {{4, 2, 7, 8}, 4, {7, 2, 4, 8}},  // neither 4 nor 2 is 6
        {{6, 2, 7, 8}, 4, {6, 2, 7, 8}},  // the partner 6 comes first
        {{2, 6, 7, 8}, 4, {2, 6, 7, 8}},  // the partner 6 comes second
        {{4, 2, 8, 9}, 4, {4, 2, 8, 9}},  // an even third block
        {{4, 2, 7, 0}, 3, {7, 2, 4, 0}}, {{4, 2, 7, 8}, 2, {4, 2, 7, 8}},  // no third block in use
        {{0, 1, 1, 5}, 4, {0, 1, 1, 5}},  // third 1: its partner 0 is listed
    };
    for (const Case& c : cases) {
        CodeBlockList list;
        std::copy(c.in.begin(), c.in.end(), list.Blocks);
        list.Count = c.count;
        FixUpCodeBlockList(list);
        EXPECT_EQ(std::to_array(list.Blocks), c.out) << c.in[0] << " " << c.in[1] << " " << c.in[2];
        // Applied once more, the fixed list stays as it is.
        FixUpCodeBlockList(list);
        EXPECT_EQ(std::to_array(list.Blocks), c.out);
    }
}

}  // namespace
}  // namespace kv
