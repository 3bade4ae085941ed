#include "run/reuse_serials.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace kv {
namespace {

struct Board {
    PortRecord ports[kMaxPorts];
    ReuseSnList list;
};

void Drive(PortRecord& port, const char* serial, int downloadStatus) {
    port.Present = 1;
    std::snprintf(port.SerialNumber, sizeof port.SerialNumber, "%s", serial);
    port.ItemStatus[8] = downloadStatus;
}

void Old(ReuseSnList& list, int count, int next) {
    for (int i = 0; i < count; ++i)
        std::snprintf(list.Numbers[i], sizeof list.Numbers[i], "OLD%02d", i);
    list.Count = count;
    list.NextIndex = next;
}

TEST(ReuseSerials, FailedDownloadsFirstThenTheOldEntriesLeft) {
    auto b = std::make_unique<Board>();
    Drive(b->ports[0], "PASS", kItemPassed);
    Drive(b->ports[2], "FAIL-A", kItemFailed);
    Drive(b->ports[5], "FAIL-B", kItemFailed);
    b->ports[6].ItemStatus[8] = kItemFailed;  // no drive: not reused
    Old(b->list, 4, 1);                       // OLD00 was handed out this run

    RebuildReuseSnList(b->ports, b->list);
    ASSERT_EQ(b->list.Count, 5);
    EXPECT_EQ(b->list.NextIndex, 0);
    const char* expected[] = {"FAIL-A", "FAIL-B", "OLD01", "OLD02", "OLD03"};
    for (int i = 0; i < 5; ++i)
        EXPECT_STREQ(b->list.Numbers[i], expected[i]);
}

TEST(ReuseSerials, NeverMoreThanFiftyEntries) {
    auto b = std::make_unique<Board>();
    for (int i = 0; i < 30; ++i)
        Drive(b->ports[i], ("NEW" + std::to_string(i)).c_str(), kItemFailed);
    Old(b->list, 50, 0);
    RebuildReuseSnList(b->ports, b->list);
    EXPECT_EQ(b->list.Count, 50);
    EXPECT_STREQ(b->list.Numbers[29], "NEW29");
    EXPECT_STREQ(b->list.Numbers[30], "OLD00");
    EXPECT_STREQ(b->list.Numbers[49], "OLD19");  // the surplus old entries are dropped

    // A corrupt count or index reads as what the table holds.
    auto c = std::make_unique<Board>();
    Old(c->list, 3, 0);
    c->list.Count = 400;
    c->list.NextIndex = -5;
    RebuildReuseSnList(c->ports, c->list);
    EXPECT_EQ(c->list.Count, 50);
    EXPECT_STREQ(c->list.Numbers[0], "OLD00");
}

TEST(ReuseSerials, ASerialTooLongForAnEntryIsNotReusedCut) {
    auto b = std::make_unique<Board>();
    Drive(b->ports[0], std::string(40, '7').c_str(), kItemFailed);
    Drive(b->ports[1], std::string(39, '8').c_str(), kItemFailed);
    RebuildReuseSnList(b->ports, b->list);
    ASSERT_EQ(b->list.Count, 1);
    EXPECT_EQ(std::string(b->list.Numbers[0]), std::string(39, '8'));
}

}  // namespace
}  // namespace kv
