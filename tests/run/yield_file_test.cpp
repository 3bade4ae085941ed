#include "run/yield_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/temp_folder.h"

namespace kv {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(YieldFile, ResetWritesZerosAndKeepsOtherLines) {
    test::TempFolder folder("kv_yield");
    const std::string dir = folder.path() + "/";
    {
        std::ofstream out(dir + "ZOVID.log", std::ios::binary);
        out << "[Other]\r\nKeep=1\r\n[TestRecord]\r\nTotalTestCount=120\r\nNumberOfPass=98\r\n";
    }
    YieldCounters yield = ReadYieldFile(dir);
    EXPECT_EQ(yield.TotalTestCount, 120);
    EXPECT_EQ(yield.NumberOfPass, 98);

    const YieldReset reset = ResetYieldBtnClick(yield, dir);
    EXPECT_TRUE(reset.saved);
    EXPECT_EQ(reset.yieldText, "0 / 0");
    EXPECT_EQ(yield.TotalTestCount, 0);
    EXPECT_EQ(yield.NumberOfPass, 0);
    EXPECT_EQ(ReadFile(dir + "ZOVID.log"),
              "[Other]\r\nKeep=1\r\n[TestRecord]\r\nTotalTestCount=0\r\nNumberOfPass=0\r\n");
}

TEST(YieldFile, MissingFileReadsZeroAndAMissingFolderFailsTheSave) {
    test::TempFolder folder("kv_yield");
    const std::string dir = folder.path() + "/";
    const YieldCounters none = ReadYieldFile(dir);
    EXPECT_EQ(none.TotalTestCount, 0);
    EXPECT_EQ(none.NumberOfPass, 0);

    ASSERT_TRUE(WriteYieldFile(dir, {7, 3}));
    const YieldCounters back = ReadYieldFile(dir);
    EXPECT_EQ(back.TotalTestCount, 7);
    EXPECT_EQ(back.NumberOfPass, 3);

    YieldCounters yield{5, 5};
    const YieldReset reset = ResetYieldBtnClick(yield, dir + "gone/");
    EXPECT_FALSE(reset.saved);
    EXPECT_EQ(yield.TotalTestCount, 0);  // the counters are reset in memory all the same
}

}  // namespace
}  // namespace kv
