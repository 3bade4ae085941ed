#include "config/settings_text.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

namespace kv::config {
namespace {

SettingsText WithImage(const std::string& text) {
    SettingsText settings;
    EXPECT_TRUE(settings.SetImage(text)) << settings.error().reason;
    return settings;
}

// n lines of `width` characters each, every one ended by LF.
std::string FillerLines(int n, std::size_t width) {
    std::string text;
    for (int i = 0; i < n; ++i) {
        text += std::string(width, 'x') + "\n";
    }
    return text;
}

// ---------------------------------------------------------------- reading

struct IntCase {
    const char* name;
    std::string image;
    const char* key;
    std::int32_t want;
};

class SettingsTextReadInt : public ::testing::TestWithParam<IntCase> {};

TEST_P(SettingsTextReadInt, ReadsValueOrDefault) {
    const IntCase& c = GetParam();
    SettingsText settings = WithImage(c.image);
    EXPECT_EQ(settings.ReadIniInt("Setting", c.key, 200), c.want);
    EXPECT_FALSE(settings.error().failed) << settings.error().reason;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsTextReadInt,
    ::testing::Values(
        IntCase{"Zero", "[Setting]\nTimeOut=0\n", "TimeOut", 0},
        IntCase{"EmptyValueGivesDefault", "[Setting]\nTimeOut=\n", "TimeOut", 200},
        IntCase{"LeadingBlankReadsZero", "[Setting]\nTimeOut= 7\n", "TimeOut", 0},
        IntCase{"MinusOne", "[Setting]\nConnectDevNum=-1\n", "ConnectDevNum", -1},
        IntCase{"ThreeHundred", "[Setting]\nConnectDevNum=300\n", "ConnectDevNum", 300},
        IntCase{"TrailingGarbageCut", "[Setting]\nA=-12x\n", "A", -12},
        IntCase{"NoDigitsReadZero", "[Setting]\nA=x\n", "A", 0},
        IntCase{"LoneMinusReadsZero", "[Setting]\nA=-\n", "A", 0},
        IntCase{"PlusSignNotTaken", "[Setting]\nA=+5\n", "A", 0},
        IntCase{"WrapsPastInt32Max", "[Setting]\nA=2147483648\n", "A",
                std::numeric_limits<std::int32_t>::min()},
        IntCase{"WrapsToMinusOne", "[Setting]\nA=4294967295\n", "A", -1},
        IntCase{"WrapsToZero", "[Setting]\nA=4294967296\n", "A", 0},
        IntCase{"MostNegative", "[Setting]\nA=-2147483648\n", "A",
                std::numeric_limits<std::int32_t>::min()},
        IntCase{"ValueAfterFirstEquals", "[Setting]\nA=7=8\n", "A", 7},
        IntCase{"KeyWithoutEqualsIsEmpty", "[Setting]\nA 5\n", "A", 200},
        IntCase{"PrefixLineFirstWins", "[Setting]\nEnBarCodeWWN=1\nEnBarCode=0\n", "EnBarCode", 1},
        IntCase{"CaseSensitive", "[Setting]\ntimeout=5\n", "TimeOut", 200},
        IntCase{"MissingSection", "[Other]\nA=5\n", "A", 200},
        IntCase{"MissingKey", "[Setting]\nB=5\n", "A", 200},
        IntCase{"HeaderWithTrailingBlank", "[Setting] \nA=5\n", "A", 200},
        IntCase{"SectionEndsAtBracket", "[Setting]\n[Other]\nA=5\n", "A", 200},
        IntCase{"OnlyFirstSectionRead", "[Setting]\nB=1\n[Setting]\nA=5\n", "A", 200},
        IntCase{"KeyBeforeSectionIgnored", "A=5\n[Setting]\nB=1\n", "A", 200},
        IntCase{"LastLineWithoutLineEnd", "[Setting]\nA=9", "A", 9},
        IntCase{"LastHeaderWithoutLineEndUnseen", "A=5\n[Setting]", "A", 200},
        IntCase{"CarriageReturnsDropped", "[Setting]\r\nTime\rOut=7\r\n", "TimeOut", 7},
        IntCase{"EmptyImage", "", "A", 200}),
    [](const ::testing::TestParamInfo<IntCase>& p) { return std::string(p.param.name); });

TEST(SettingsTextReadUInt64, DigitsWithoutSign) {
    struct Case {
        const char* value;
        std::uint64_t want;
    };
    const Case cases[] = {
        {"18446744073709551615", std::numeric_limits<std::uint64_t>::max()},
        {"18446744073709551616", 0},  // wraps as a 64-bit accumulator does
        {"12ab", 12},
        {" 3", 0},
        {"-5", 0},
        {"", 77},
    };
    for (const Case& c : cases) {
        SettingsText settings = WithImage(std::string("[S]\nBig=") + c.value + "\n");
        EXPECT_EQ(settings.ReadIniUInt64("S", "Big", 77), c.want) << "value \"" << c.value << "\"";
    }
    SettingsText settings = WithImage("[S]\n");
    EXPECT_EQ(settings.ReadIniUInt64("S", "Big", 77), 77U);
}

TEST(SettingsTextReadString, ValueIsKeptUntrimmedAndCut) {
    SettingsText settings = WithImage("[S]\nName=  a=b  \nEmpty=\nBare\n");
    char dest[16];

    EXPECT_EQ(settings.ReadIniString("S", "Name", "def", sizeof dest, dest), 7U);
    EXPECT_STREQ(dest, "  a=b  ");

    // A present but empty value is not replaced by the default.
    EXPECT_EQ(settings.ReadIniString("S", "Empty", "def", sizeof dest, dest), 0U);
    EXPECT_STREQ(dest, "");
    EXPECT_EQ(settings.ReadIniString("S", "Bare", "def", sizeof dest, dest), 0U);
    EXPECT_STREQ(dest, "");

    EXPECT_EQ(settings.ReadIniString("S", "Missing", "def", sizeof dest, dest), 3U);
    EXPECT_STREQ(dest, "def");
}

TEST(SettingsTextReadString, NeverWritesPastCapacity) {
    SettingsText settings = WithImage("[S]\nName=ABCDEFGH\n");
    char dest[8];
    struct Case {
        std::size_t capacity;
        const char* want;
    };
    const Case cases[] = {{6, "ABCDE"}, {1, ""}, {0, nullptr}};
    for (const Case& c : cases) {
        std::fill(std::begin(dest), std::end(dest), '#');
        const std::size_t length = settings.ReadIniString("S", "Name", "", c.capacity, dest);
        if (c.want == nullptr) {
            EXPECT_EQ(length, 0U);
            EXPECT_EQ(dest[0], '#');
            continue;
        }
        EXPECT_EQ(length, std::string(c.want).size());
        EXPECT_STREQ(dest, c.want);
        EXPECT_EQ(dest[c.capacity], '#') << "capacity " << c.capacity;
    }
    // The default is cut the same way.
    std::fill(std::begin(dest), std::end(dest), '#');
    EXPECT_EQ(settings.ReadIniString("S", "Other", "0123456789", 4, dest), 3U);
    EXPECT_STREQ(dest, "012");
    EXPECT_EQ(dest[4], '#');
}

TEST(SettingsTextReadLimit, TooLongIntegerLineIsRecorded) {
    const std::string ok = "K=" + std::string(kIntLineLimit - 2, '1');
    const std::string tooLong = "K=" + std::string(kIntLineLimit - 1, '1');
    const std::string longPath = "P=" + std::string(kStringLineLimit - 2, 'p');

    SettingsText atLimit = WithImage("[S]\n" + ok + "\n");
    atLimit.ReadIniInt("S", "K", -1);
    EXPECT_FALSE(atLimit.error().failed);

    SettingsText over = WithImage("[A]\nX=1\n[S]\n" + tooLong + "\n");
    EXPECT_EQ(over.ReadIniInt("S", "K", -1), -1);
    EXPECT_TRUE(over.error().failed);
    EXPECT_EQ(over.error().line, 4);
    EXPECT_EQ(over.error().reason, "line 4 is longer than 258 characters");
    // The 64-bit integer reader has the same limit; the string reader takes the line.
    SettingsText wide = WithImage("[S]\n" + tooLong + "\n");
    EXPECT_EQ(wide.ReadIniUInt64("S", "K", 9), 9U);
    EXPECT_TRUE(wide.error().failed);
    SettingsText text = WithImage("[S]\n" + tooLong + "\n");
    char dest[8];
    EXPECT_EQ(text.ReadIniString("S", "K", "", sizeof dest, dest), 7U);
    EXPECT_FALSE(text.error().failed);

    // A long text line on the way to an integer key is a text key's line, not
    // the integer's: a long path before a switch does not refuse the file.
    SettingsText pathFirst = WithImage("[S]\n" + longPath + "\nK=4\n");
    EXPECT_EQ(pathFirst.ReadIniInt("S", "K", -1), 4);
    EXPECT_FALSE(pathFirst.error().failed);

    // The first error stays until the image is set again.
    SettingsText first = WithImage("[S]\n" + tooLong + "\n");
    EXPECT_EQ(first.ReadIniInt("S", "K", 0), 0);
    EXPECT_FALSE(first.WriteIniString("S", "X", "1\n"));
    EXPECT_EQ(first.error().line, 2);
    ASSERT_TRUE(first.SetImage("[S]\nK=1\n"));
    EXPECT_FALSE(first.error().failed);
}

// ---------------------------------------------------------------- writing

TEST(SettingsTextWrite, ImageAfterASequenceOfWrites) {
    SettingsText settings;
    ASSERT_TRUE(settings.WriteIniString("Setting", "A", "1"));
    EXPECT_EQ(settings.image(), "[Setting]\nA=1\n");

    ASSERT_TRUE(settings.WriteIniInt("TestItems", "B", -5));
    EXPECT_EQ(settings.image(), "[Setting]\nA=1\n\n[TestItems]\nB=-5\n");

    // Inserted right before the next header, after the empty line.
    ASSERT_TRUE(settings.WriteIniString("Setting", "C", "x y"));
    EXPECT_EQ(settings.image(), "[Setting]\nA=1\n\nC=x y\n[TestItems]\nB=-5\n");

    ASSERT_TRUE(settings.WriteIniString("Setting", "A", ""));
    EXPECT_EQ(settings.image(), "[Setting]\nA=\n\nC=x y\n[TestItems]\nB=-5\n");

    ASSERT_TRUE(
        settings.WriteIniUInt64("TestItems", "Big", std::numeric_limits<std::uint64_t>::max()));
    EXPECT_EQ(settings.image(),
              "[Setting]\nA=\n\nC=x y\n[TestItems]\nB=-5\nBig=18446744073709551615\n");

    ASSERT_TRUE(settings.WriteIniInt("TestItems", "B", 300));
    EXPECT_EQ(settings.image(),
              "[Setting]\nA=\n\nC=x y\n[TestItems]\nB=300\nBig=18446744073709551615\n");
    EXPECT_FALSE(settings.error().failed);
}

TEST(SettingsTextWrite, RewriteRulesOnExistingImages) {
    struct Case {
        const char* name;
        std::string before;
        const char* key;
        const char* value;
        std::string after;
    };
    const Case cases[] = {
        {"OtherLinesCopied", "; note\n[S]\ngarbage\nA=1\n", "A", "2",
         "; note\n[S]\ngarbage\nA=2\n"},
        {"PrefixLineReplaced", "[S]\nEnBarCodeWWN=1\nEnBarCode=0\n", "EnBarCode", "0",
         "[S]\nEnBarCode=0\nEnBarCode=0\n"},
        {"MatchWithoutEqualsReplaced", "[S]\nAB\n", "A", "1", "[S]\nA=1\n"},
        {"OnlyFirstSectionEdited", "[S]\nB=1\n[S]\nA=5\n", "A", "2", "[S]\nB=1\nA=2\n[S]\nA=5\n"},
        {"TrailingBlankHeaderNotFound", "[S] \nA=1\n", "A", "2", "[S] \nA=1\n\n[S]\nA=2\n"},
        {"LastKeyLineGetsLineEnd", "[S]\nA=1", "B", "2", "[S]\nA=1\nB=2\n"},
        {"LastHeaderWithoutLineEndLost", "[S]\nA=1\n[T]", "B", "2", "[S]\nA=1\nB=2\n"},
        {"CarriageReturnsDropped", "[S]\r\nA=1\r\n\r\n", "B", "2", "[S]\nA=1\n\nB=2\n"},
        {"OnlyUnseenLineLeft", "junk", "A", "1", "\n[S]\nA=1\n"},
    };
    for (const Case& c : cases) {
        SettingsText settings = WithImage(c.before);
        ASSERT_TRUE(settings.WriteIniString("S", c.key, c.value)) << c.name;
        EXPECT_EQ(settings.image(), c.after) << c.name;
    }
}

TEST(SettingsTextWrite, PrefixKeysReadAndWriteTheFirstMatch) {
    SettingsText settings = WithImage("[Setting]\nEnBarCodeWWN=1\nEnBarCode=0\nX=1\n[T]\n");
    EXPECT_EQ(settings.ReadIniInt("Setting", "EnBarCode", 9), 1);

    ASSERT_TRUE(settings.WriteIniInt("Setting", "EnBarCode", 0));
    ASSERT_TRUE(settings.WriteIniInt("Setting", "EnBarCodeWWN", 1));
    // The WWN line was taken by the shorter key and comes back at the section's end.
    EXPECT_EQ(settings.image(), "[Setting]\nEnBarCode=0\nEnBarCode=0\nX=1\nEnBarCodeWWN=1\n[T]\n");
    EXPECT_EQ(settings.ReadIniInt("Setting", "EnBarCode", 9), 0);
    EXPECT_EQ(settings.ReadIniInt("Setting", "EnBarCodeWWN", 9), 1);
}

TEST(SettingsTextWrite, TextsEndAtTheirFirstNul) {
    SettingsText settings;
    ASSERT_TRUE(settings.WriteIniString(std::string_view("S\0x", 3), std::string_view("K\0y", 3),
                                        std::string_view("ab\0cd", 5)));
    EXPECT_EQ(settings.image(), "[S]\nK=ab\n");
}

TEST(SettingsTextWrite, RefusedWritesLeaveTheImage) {
    const std::string base = "[S]\nA=1\n";
    struct Case {
        const char* name;
        std::string section;
        std::string key;
        std::string value;
    };
    const Case cases[] = {
        {"LineEndInValue", "S", "A", "1\n[Evil]"},
        {"CarriageReturnInSection", "S\r", "A", "1"},
        {"LineEndInKey", "S", "A\nB", "1"},
        {"KeyLineOverReaderLimit", "S", "K", std::string(kStringLineLimit - 1, 'v')},
        {"HeaderOverReaderLimit", std::string(kStringLineLimit - 1, 's'), "K", "1"},
    };
    for (const Case& c : cases) {
        SettingsText settings = WithImage(base);
        EXPECT_FALSE(settings.WriteIniString(c.section, c.key, c.value)) << c.name;
        EXPECT_EQ(settings.image(), base) << c.name;
        EXPECT_TRUE(settings.error().failed) << c.name;
    }
    // A key line of exactly the reader's limit is written and read back.
    SettingsText settings = WithImage(base);
    const std::string longest(kStringLineLimit - 2, 'v');
    ASSERT_TRUE(settings.WriteIniString("S", "K", longest));
    char dest[kStringLineLimit];
    settings.ReadIniString("S", "K", "", sizeof dest, dest);
    EXPECT_EQ(std::string(dest), longest);
}

TEST(SettingsTextWrite, OverflowingWriteLeavesTheImage) {
    // "[S]\n" and 54 lines of 300 characters: 16,204 characters. Appending
    // "K=" value LF adds 3 + the value's length.
    const std::string base = "[S]\n" + FillerLines(54, 299);
    ASSERT_EQ(base.size(), 16204U);

    SettingsText fits = WithImage(base);
    ASSERT_TRUE(fits.WriteIniString("S", "K", std::string(176, 'v')));
    EXPECT_EQ(fits.image().size(), kSettingsTextSize - 1);

    SettingsText over = WithImage(base);
    EXPECT_FALSE(over.WriteIniString("S", "K", std::string(177, 'v')));
    EXPECT_EQ(over.image(), base);
    EXPECT_TRUE(over.error().failed);
    EXPECT_EQ(over.error().reason, "the settings text would hold more than 16383 characters");
}

// ---------------------------------------------------------------- refusals

TEST(SettingsTextRefusal, ImageOutsideTheFormat) {
    struct Case {
        const char* name;
        std::string text;
        bool accepted;
        int line;
        const char* reason;
    };
    const std::string lineAtLimit(kStringLineLimit, 'a');
    const Case cases[] = {
        {"LargestImage", FillerLines(49, 333) + std::string(16383 - 49 * 334, 'z'), true, 0, ""},
        {"OneCharacterTooMany", FillerLines(49, 333) + std::string(16384 - 49 * 334, 'z'), false, 0,
         "the file holds more than 16383 characters"},
        {"LongestLine", "[S]\n\n" + lineAtLimit + "\n", true, 0, ""},
        {"LineTooLong", "[S]\n\n" + lineAtLimit + "a\n", false, 3,
         "line 3 is longer than 335 characters"},
        {"CarriageReturnsNotCounted", "[S]\n" + lineAtLimit + "\r\r\n", true, 0, ""},
        {"UnendedLastLineTooLong", "[S]\n" + lineAtLimit + "a", false, 2,
         "line 2 is longer than 335 characters"},
        {"NulByte", std::string("[S]\nA=1\0\n", 9), false, 2, "binary data (NUL byte)"},
    };
    for (const Case& c : cases) {
        SettingsText settings;
        EXPECT_EQ(settings.SetImage(c.text), c.accepted) << c.name;
        EXPECT_EQ(settings.error().failed, !c.accepted) << c.name;
        EXPECT_EQ(settings.error().line, c.line) << c.name;
        EXPECT_EQ(settings.error().reason, c.reason) << c.name;
        EXPECT_EQ(settings.image(), c.accepted ? c.text : std::string()) << c.name;
    }
}

// ---------------------------------------------------------------- files

class SettingsTextFile : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::filesystem::path(::testing::TempDir()) /
                  ("settings_text_" + std::string(info->name()) + "_" + std::to_string(getpid()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string PathOf(const char* name) const { return (folder_ / name).string(); }

    static void WriteBytes(const std::string& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }
    static std::string ReadBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path folder_;
};

TEST_F(SettingsTextFile, MissingFileGivesAnEmptyImage) {
    SettingsText settings = WithImage("[S]\nA=1\n");
    EXPECT_TRUE(settings.Load(PathOf("absent.ini")));
    EXPECT_EQ(settings.image(), "");
    EXPECT_FALSE(settings.error().failed);
    EXPECT_EQ(settings.ReadIniInt("S", "A", 200), 200);
}

TEST_F(SettingsTextFile, LoadReadsCrLfAsLf) {
    const std::string path = PathOf("crlf.ini");
    WriteBytes(path, "[S]\r\nA=1\r\nB=a\rb\r\n\r\nC=3");
    SettingsText settings;
    ASSERT_TRUE(settings.Load(path)) << settings.error().reason;
    EXPECT_EQ(settings.image(), "[S]\nA=1\nB=a\rb\n\nC=3");
    char dest[8];
    settings.ReadIniString("S", "B", "", sizeof dest, dest);
    EXPECT_STREQ(dest, "ab");  // a lone CR stays in the image and is ignored by the reader
    EXPECT_EQ(settings.ReadIniInt("S", "C", 0), 3);
}

TEST_F(SettingsTextFile, StoreWritesCrLfAndReplacesTheFile) {
    const std::string path = PathOf("out.ini");
    WriteBytes(path, std::string(5000, 'o'));
    SettingsText settings = WithImage("[S]\nA=1\n\nB=2");
    ASSERT_TRUE(settings.Store(path)) << settings.error().reason;
    EXPECT_EQ(ReadBytes(path), "[S]\r\nA=1\r\n\r\nB=2");

    SettingsText again;
    ASSERT_TRUE(again.Load(path));
    EXPECT_EQ(again.image(), settings.image());
}

TEST_F(SettingsTextFile, SizeLimitCountsTheImageAfterCrLf) {
    // 5,000 lines of 2 characters: 15,000 characters in the image, 20,000 bytes on disk.
    std::string onDisk;
    for (int i = 0; i < 5000; ++i) {
        onDisk += "ab\r\n";
    }
    const std::string path = PathOf("big.ini");
    WriteBytes(path, onDisk);
    SettingsText settings;
    ASSERT_TRUE(settings.Load(path)) << settings.error().reason;
    EXPECT_EQ(settings.image().size(), 15000U);

    // 16,384 characters after conversion are refused, however large the file.
    WriteBytes(path, onDisk + std::string(1384, 'c'));
    EXPECT_FALSE(settings.Load(path));
    EXPECT_EQ(settings.error().reason, "the file holds more than 16383 characters");
    EXPECT_EQ(settings.image(), "");

    WriteBytes(path, std::string(100000, '\n'));
    EXPECT_FALSE(settings.Load(path));
    EXPECT_EQ(settings.image(), "");
}

TEST_F(SettingsTextFile, RefusedFileNamesTheLine) {
    const std::string path = PathOf("long.ini");
    WriteBytes(path, "[S]\r\nA=1\r\n" + std::string(kStringLineLimit + 1, 'q') + "\r\n");
    SettingsText settings;
    EXPECT_FALSE(settings.Load(path));
    EXPECT_EQ(settings.error().line, 3);
    EXPECT_EQ(settings.image(), "");

    WriteBytes(path, std::string("[S]\r\nA=\0\r\n", 10));
    EXPECT_FALSE(settings.Load(path));
    EXPECT_EQ(settings.error().line, 2);
    EXPECT_EQ(settings.error().reason, "binary data (NUL byte)");
}

TEST_F(SettingsTextFile, UnreadableAndUnwritablePaths) {
    SettingsText settings = WithImage("[S]\nA=1\n");
    EXPECT_FALSE(settings.Store(PathOf("no_such_folder/out.ini")));
    EXPECT_TRUE(settings.error().failed);
    EXPECT_EQ(settings.error().reason, "the file cannot be written");

    SettingsText toFolder = WithImage("[S]\nA=1\n");
    EXPECT_FALSE(toFolder.Store(folder_.string()));
    EXPECT_TRUE(toFolder.error().failed);

    SettingsText fromFolder;
    EXPECT_FALSE(fromFolder.Load(folder_.string()));
    EXPECT_EQ(fromFolder.error().reason, "the file cannot be read");
}

}  // namespace
}  // namespace kv::config
