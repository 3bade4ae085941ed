// The fixed page tables of the code blocks: low-page sequences and page pair maps.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "firmware/low_page_sequence.h"
#include "firmware/page_pair_map.h"

namespace kv {
namespace {

std::vector<int> Head(const PageSequence& s, std::size_t from, std::size_t n) {
    return std::vector<int>(s.begin() + static_cast<std::ptrdiff_t>(from),
                            s.begin() + static_cast<std::ptrdiff_t>(from + n));
}

TEST(LowPageSequenceTest, SequencesByGroup) {
    for (int type : {1, 4, 7}) {
        const PageSequence s = LowPageSequence(type);
        EXPECT_EQ(Head(s, 0, 10), (std::vector<int>{0, 1, 2, 3, 6, 7, 10, 11, 14, 15})) << type;
        EXPECT_EQ(s[16], 30);
        EXPECT_EQ(s[62], 122);
        EXPECT_EQ(s[63], 123);
    }
    for (int type : {2, 5}) {
        const PageSequence s = LowPageSequence(type);
        EXPECT_EQ(Head(s, 0, 6), (std::vector<int>{0, 1, 3, 5, 7, 9})) << type;
        EXPECT_EQ(s[16], 31);
        EXPECT_EQ(s[63], 125);
    }
    for (int type : {3, 6, 8}) {
        const PageSequence s = LowPageSequence(type);
        EXPECT_EQ(Head(s, 0, 10), (std::vector<int>{0, 1, 2, 3, 4, 5, 8, 9, 12, 13})) << type;
        EXPECT_EQ(s[16], 28);
        EXPECT_EQ(s[62], 120);
        EXPECT_EQ(s[63], 121);
    }
    for (int type : {0, 9, 200}) {
        const PageSequence s = LowPageSequence(type);
        EXPECT_FALSE(HasLowPageSequence(type));
        EXPECT_EQ(s[0], 0);
        EXPECT_EQ(s[47], 47);
        EXPECT_EQ(s[63], 63);
    }
}

TEST(PagePairMapTest, FirstEntriesOfEveryType) {
    struct Case {
        int type;
        std::vector<int> first;
    };
    const Case cases[] = {
        {1, {4, 5, 8, 9, 0, 1, 12, 13, 2, 3, 16, 17, 6, 7, 20, 21}},
        {2, {2, 4, 0, 6, 1, 8, 3, 10, 5, 12, 7, 14, 9, 16, 11, 18}},
        {3, {255, 255, 6, 7, 10, 11, 2, 3, 14, 15, 4, 5, 18, 19, 8, 9}},
        {4, {4, 5, 8, 9, 0, 1, 12, 13, 2, 3, 16, 17, 6, 7, 20, 21}},
        {5, {2, 4, 0, 6, 1, 8, 3, 10, 5, 12, 7, 14, 9, 16, 11, 18}},
        {6, {6, 7, 0, 0, 10, 11, 0, 1, 14, 15, 4, 5, 18, 19, 8, 9}},
        {7, {4, 5, 8, 9, 0, 1, 12, 13, 2, 3, 16, 17, 6, 7, 20, 21}},
        {8, {6, 7, 0, 0, 10, 11, 0, 1, 14, 15, 4, 5, 18, 19, 8, 9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const PagePairMapBytes map = PagePairMap(c.type);
        EXPECT_EQ(std::vector<int>(map.begin(), map.begin() + 16), c.first);
    }
}

TEST(PagePairMapTest, MapsCoverTheirBlocksAndEndAsDescribed) {
    // Types 1, 2: every page of a 128-page block once, the rest 0.
    for (int type : {1, 2}) {
        const PagePairMapBytes map = PagePairMap(type);
        EXPECT_EQ(std::set<int>(map.begin(), map.begin() + 128).size(), 128u) << type;
        EXPECT_TRUE(std::all_of(map.begin() + 128, map.end(), [](int v) { return v == 0; }));
    }
    // Types 4, 5: every page of a 256-page block once; type 4 continues type 1.
    for (int type : {4, 5}) {
        const PagePairMapBytes map = PagePairMap(type);
        EXPECT_EQ(std::set<int>(map.begin(), map.end()).size(), 256u) << type;
    }
    const PagePairMapBytes one = PagePairMap(1);
    const PagePairMapBytes four = PagePairMap(4);
    EXPECT_TRUE(std::equal(one.begin(), one.begin() + 64, four.begin()));
    // Types 7 and 8 are 4 and 6 with the last two pairs zero.
    const PagePairMapBytes seven = PagePairMap(7);
    EXPECT_TRUE(std::equal(four.begin(), four.end() - 4, seven.begin()));
    EXPECT_EQ(std::vector<int>(seven.end() - 4, seven.end()), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_NE(std::vector<int>(four.end() - 4, four.end()), (std::vector<int>{0, 0, 0, 0}));
    const PagePairMapBytes six = PagePairMap(6);
    const PagePairMapBytes eight = PagePairMap(8);
    EXPECT_TRUE(std::equal(six.begin(), six.end() - 4, eight.begin()));
    EXPECT_EQ(std::vector<int>(eight.end() - 4, eight.end()), (std::vector<int>{0, 0, 0, 0}));
    // No map: all 0xFF.
    for (int type : {0, 9}) {
        const PagePairMapBytes none = PagePairMap(type);
        EXPECT_TRUE(std::all_of(none.begin(), none.end(), [](int v) { return v == 0xFF; }));
    }
}

}  // namespace
}  // namespace kv
