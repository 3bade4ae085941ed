#include "platform/ini_service.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace kv::platform {
namespace {

namespace fs = std::filesystem;

// A fresh folder per test, so tests can run in parallel.
class IniServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::path(::testing::TempDir()) /
                  ("ini_service_" + std::string(info->name()) + "_" + std::to_string(::getpid()) +
                   "_" + std::to_string(counter++));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        path_ = (folder_ / "test.ini").string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    void Put(const std::string& content) const {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << content;
    }
    std::string Get() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    fs::path folder_;
    std::string path_;
};

// A file that exercises every reading rule at once; line numbers matter for KeyLine.
const char kReadSample[] =
    "\xEF\xBB\xBF; a comment line\r\n"    // 1
    "Orphan=before any section\r\n"       // 2
    "  [ Setting ]  \r\n"                 // 3
    "  LogPath  =  \"D:\\logs\\\"  \r\n"  // 4
    "Count=42\n"                          // 5 (LF only)
    "  ;Hidden=7\r\n"                     // 6
    "count=99\r\n"                        // 7 (duplicate key, not read)
    "no equals sign here\r\n"             // 8
    "=no key\r\n"                         // 9
    "Empty=\r\n"                          // 10
    "Padded = \" two  blanks \"\r\n"      // 11
    "Inner=a \"quoted\" word\r\n"         // 12
    "Url=x=y\r\n"                         // 13
    "[setting]\r\n"                       // 14 (duplicate section, not read)
    "Late=1\r\n"                          // 15
    "[Other]\n"                           // 16
    "\tTabbed\t=\tv 1\t\n"                // 17
    "[Open\r\n"                           // 18 (no closing bracket)
    "Key=open";                           // 19 (no line end)

struct ReadCase {
    const char* section;
    const char* key;
    const char* expected;  // nullptr: the default is returned
    int line;
};

TEST_F(IniServiceTest, ReadsByTheProfileRules) {
    Put(kReadSample);
    const IniFile ini(path_);
    ASSERT_TRUE(ini.Exists());
    const ReadCase cases[] = {
        {"SETTING", "logpath", "D:\\logs\\", 4},
        {" Setting ", " COUNT ", "42", 5},
        {"Setting", ";Hidden", nullptr, 0},
        {"Setting", "Hidden", nullptr, 0},
        {"Setting", "no equals sign here", nullptr, 0},
        {"Setting", "Empty", "", 10},
        {"Setting", "Padded", " two  blanks ", 11},
        {"Setting", "Inner", "a \"quoted\" word", 12},
        {"Setting", "Url", "x=y", 13},
        {"Setting", "Late", nullptr, 0},
        {"other", "TABBED", "v 1", 17},
        {"Open", "Key", "open", 19},
        {"", "Orphan", nullptr, 0},
        {"Missing", "Count", nullptr, 0},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(ini.ReadString(c.section, c.key, "<def>"), c.expected ? c.expected : "<def>");
        EXPECT_EQ(ini.HasKey(c.section, c.key), c.expected != nullptr);
        EXPECT_EQ(ini.KeyLine(c.section, c.key), c.line);
    }
    EXPECT_EQ(ini.Keys("setting"),
              (std::vector<std::string>{"LogPath", "Count", "Empty", "Padded", "Inner", "Url"}));
    EXPECT_TRUE(ini.Keys("Missing").empty());
}

TEST_F(IniServiceTest, ReadIntTakesSignAndLeadingDigits) {
    Put("[N]\r\nA=42\r\nB=-17\r\nC=+5\r\nD=12abc\r\nE=abc\r\nF=\r\nG=99999999999\r\n"
        "H=-99999999999\r\nI=  7  \r\nJ=0x10\r\nK=-\r\nL=\"8\"\r\n");
    const IniFile ini(path_);
    const struct {
        const char* key;
        std::int32_t expected;
    } cases[] = {
        {"A", 42},
        {"B", -17},
        {"C", 5},
        {"D", 12},
        {"E", -1},
        {"F", -1},
        {"G", std::numeric_limits<std::int32_t>::max()},
        {"H", std::numeric_limits<std::int32_t>::min()},
        {"I", 7},
        {"J", 0},
        {"K", -1},
        {"L", 8},
        {"Missing", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ini.ReadInt("n", c.key, -1), c.expected) << c.key;
    }
}

TEST_F(IniServiceTest, MissingFileReadsEmptyAndFirstWriteCreatesIt) {
    IniFile ini(path_);
    EXPECT_FALSE(ini.Exists());
    EXPECT_EQ(ini.ReadString("TestRecord", "TotalTestCount", "x"), "x");
    EXPECT_EQ(ini.ReadInt("TestRecord", "TotalTestCount", 0), 0);
    EXPECT_TRUE(ini.Keys("TestRecord").empty());

    ASSERT_TRUE(ini.WriteInt("TestRecord", "TotalTestCount", 12));
    ASSERT_TRUE(ini.WriteInt("TestRecord", "NumberOfPass", -3));
    EXPECT_TRUE(ini.Exists());
    EXPECT_EQ(Get(), "[TestRecord]\r\nTotalTestCount=12\r\nNumberOfPass=-3\r\n");
    EXPECT_EQ(IniFile(path_).ReadInt("testrecord", "numberofpass", 0), -3);
    EXPECT_FALSE(fs::exists(path_ + ".tmp"));
}

TEST_F(IniServiceTest, WriteKeepsOtherLinesAndEndsEveryLineWithCrLf) {
    Put("; layout\n"
        "[Main]\n"
        "left = 10 \n"
        "Top=20\n"
        "\n"
        "[Style]\n"
        "PortPanel0=Left 1 Top 2 Width 3 Height 4\n"
        "; trailing comment\n");
    IniFile ini(path_);
    ASSERT_TRUE(ini.WriteString("MAIN", "Left", "11"));  // replaced, file's spelling kept
    ASSERT_TRUE(ini.WriteInt("main", "Width", 600));     // added before the blank line
    ASSERT_TRUE(ini.WriteString("Style", "PortPanel1", "Left 5 Top 6 Width 7 Height 8"));
    ASSERT_TRUE(ini.WriteString("New", "Key", "v"));
    EXPECT_EQ(Get(),
              "; layout\r\n"
              "[Main]\r\n"
              "left=11\r\n"
              "Top=20\r\n"
              "Width=600\r\n"
              "\r\n"
              "[Style]\r\n"
              "PortPanel0=Left 1 Top 2 Width 3 Height 4\r\n"
              "; trailing comment\r\n"
              "PortPanel1=Left 5 Top 6 Width 7 Height 8\r\n"
              "[New]\r\n"
              "Key=v\r\n");
    EXPECT_EQ(ini.ReadInt("Main", "Width", 0), 600);
}

TEST_F(IniServiceTest, WriteReplacesOnlyTheFirstOccurrence) {
    Put("[A]\r\nK=1\r\nK=2\r\n[a]\r\nK=3\r\n");
    IniFile ini(path_);
    ASSERT_TRUE(ini.WriteString("a", "k", "9"));
    EXPECT_EQ(Get(), "[A]\r\nK=9\r\nK=2\r\n[a]\r\nK=3\r\n");
}

TEST_F(IniServiceTest, WriteAppliesToTheFileAsItIsOnDisk) {
    Put("[S]\r\nA=1\r\n");
    IniFile first(path_);
    IniFile second(path_);
    ASSERT_TRUE(second.WriteString("S", "B", "2"));
    ASSERT_TRUE(first.WriteString("S", "C", "3"));
    EXPECT_EQ(Get(), "[S]\r\nA=1\r\nB=2\r\nC=3\r\n");
    EXPECT_EQ(first.ReadString("S", "B", ""), "2");
}

TEST_F(IniServiceTest, ValuesThatWouldNotReadBackAreQuoted) {
    IniFile ini(path_);
    for (const char* value : {" lead", "trail\t", "\"quoted\"", "", "plain text"}) {
        ASSERT_TRUE(ini.WriteString("S", "K", value));
        EXPECT_EQ(IniFile(path_).ReadString("S", "K", "<def>"), value);
    }
}

TEST_F(IniServiceTest, RefusesNamesAndValuesThatBreakTheLines) {
    Put("[S]\r\nK=1\r\n");
    IniFile ini(path_);
    const struct {
        const char* section;
        const char* key;
        const char* value;
    } cases[] = {
        {"S", "K", "1\r\n[Evil]"}, {"S", "K", "a\nb"}, {"S", "", "v"},
        {"S", "   ", "v"},         {"S", "A=B", "v"},  {"S", ";K", "v"},
        {"S", "[K", "v"},          {"S]x", "K", "v"},  {"S\n", "K", "v"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(ini.WriteString(c.section, c.key, c.value)) << c.section << "/" << c.key;
    }
    EXPECT_EQ(Get(), "[S]\r\nK=1\r\n");
}

TEST_F(IniServiceTest, EraseSectionRemovesEveryOccurrenceWithItsLines) {
    Put("[Main]\r\nLeft=1\r\n[Style]\r\nPortPanel0=a\r\n; note\r\n\r\n[Other]\r\nX=1\r\n"
        "[STYLE]\r\nPortPanel9=b\r\n");
    IniFile ini(path_);
    ASSERT_TRUE(ini.EraseSection("style"));
    EXPECT_EQ(Get(), "[Main]\r\nLeft=1\r\n[Other]\r\nX=1\r\n");
    EXPECT_FALSE(ini.HasKey("Style", "PortPanel9"));

    const std::string before = Get();
    EXPECT_TRUE(ini.EraseSection("Nowhere"));
    EXPECT_EQ(Get(), before);

    ASSERT_TRUE(ini.WriteString("Style", "PortPanel1", "c"));
    EXPECT_EQ(Get(), "[Main]\r\nLeft=1\r\n[Other]\r\nX=1\r\n[Style]\r\nPortPanel1=c\r\n");
}

TEST_F(IniServiceTest, UnreadableOrUnwritablePathsFailWithoutDamage) {
    // A folder where the file should be: it exists but cannot be read as a file.
    fs::create_directories(path_);
    IniFile blocked(path_);
    EXPECT_FALSE(blocked.Exists());
    EXPECT_FALSE(blocked.WriteString("S", "K", "v"));
    EXPECT_FALSE(blocked.EraseSection("S"));
    EXPECT_TRUE(fs::is_directory(path_));

    IniFile nowhere((folder_ / "no such folder" / "x.ini").string());
    EXPECT_FALSE(nowhere.WriteString("S", "K", "v"));
    EXPECT_FALSE(nowhere.Exists());
}

}  // namespace
}  // namespace kv::platform
