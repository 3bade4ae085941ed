#include "flash/flash_parts_list.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace kv {
namespace {

namespace fs = std::filesystem;

// 17 tokens: name, part number, type word, CE count, ECC mode, five ID bytes,
// spare attribute, alternate family, extend blocks, die offset, page map type,
// interface, one plane.
const char kGoodLine[] =
    "AX64G8T  AX29F64G08 0x0080 2 3 0xAD 0xDE 0x94 0xDA 0x74 0x00030010 1 32 4096 5 3 1";

class FlashPartsListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::path(::testing::TempDir()) /
                  ("flash_parts_list_" + std::string(info->name()) + "_" +
                   std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        path_ = (folder_ / "Flash.ini").string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    void Put(const std::string& content) const {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << content;
    }

    fs::path folder_;
    std::string path_;
};

// A part line whose name and ID bytes follow from `n`, for long generated lists.
std::string NumberedLine(int n) {
    char line[160];
    std::snprintf(line, sizeof line, "P%d PN%d 0x0080 1 1 0x%02X 0x%02X 0 0 0 0 0 0 0 0 0 0", n, n,
                  n & 0xFF, (n >> 8) & 0xFF);
    return line;
}

std::string Key3(int n) {
    char key[16];
    std::snprintf(key, sizeof key, "Name%03d", n);
    return key;
}

TEST(FlashPartLine, ParsesEveryFieldInTokenOrder) {
    FlashPart part;
    ASSERT_TRUE(ParseFlashPartLine(kGoodLine, part));
    EXPECT_STREQ(part.FlashName, "AX64G8T");
    EXPECT_STREQ(part.PartNumber, "AX29F64G08");
    EXPECT_EQ(part.TypeWord, 0x0080);
    EXPECT_EQ(part.CeCount, 2);
    EXPECT_EQ(part.EccMode, 3);
    const std::uint8_t id[5] = {0xAD, 0xDE, 0x94, 0xDA, 0x74};
    EXPECT_EQ(std::memcmp(part.FlashId, id, 5), 0);
    EXPECT_EQ(part.SpareAttr, 0x10);
    EXPECT_EQ(part.HalfPageBlock, 0x03);
    EXPECT_EQ(part.AltFamily, 1);
    EXPECT_EQ(part.ExtendBlocks, 32);
    EXPECT_EQ(part.DieOffset, 4096);
    EXPECT_EQ(part.PageMapType, 5);
    EXPECT_EQ(part.FlashInterface, 3);
    EXPECT_EQ(part.OnePlane, 1);
}

// Replaces token `index` (1-based) of the good line.
std::string WithToken(int index, const std::string& token) {
    std::vector<std::string> tokens;
    std::string text = kGoodLine;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && text[pos] == ' ') {
            ++pos;
        }
        const std::size_t start = pos;
        while (pos < text.size() && text[pos] != ' ') {
            ++pos;
        }
        if (pos > start) {
            tokens.push_back(text.substr(start, pos - start));
        }
    }
    tokens.at(static_cast<std::size_t>(index - 1)) = token;
    std::string line;
    for (const std::string& t : tokens) {
        line += (line.empty() ? "" : " ") + t;
    }
    return line;
}

TEST(FlashPartLine, NumbersKeepTheLowBytesOfTheirField) {
    FlashPart hex;
    FlashPart dec;
    ASSERT_TRUE(ParseFlashPartLine(WithToken(3, "0x0080"), hex));
    ASSERT_TRUE(ParseFlashPartLine(WithToken(3, "128"), dec));
    EXPECT_EQ(hex.TypeWord, 0x0080);
    EXPECT_EQ(dec.TypeWord, 0x0080);

    FlashPart part;
    ASSERT_TRUE(ParseFlashPartLine(WithToken(3, "0X1A2B3"), part));
    EXPECT_EQ(part.TypeWord, 0xA2B3);
    EXPECT_EQ(part.CeCount, 2);  // the next field is not touched by the wide value
    ASSERT_TRUE(ParseFlashPartLine(WithToken(4, "0x104"), part));
    EXPECT_EQ(part.CeCount, 4);
    EXPECT_EQ(part.EccMode, 3);
    ASSERT_TRUE(ParseFlashPartLine(WithToken(13, "70000"), part));
    EXPECT_EQ(part.ExtendBlocks, 70000 & 0xFFFF);
    EXPECT_EQ(part.DieOffset, 4096);
    ASSERT_TRUE(ParseFlashPartLine(WithToken(10, "4294967295"), part));
    EXPECT_EQ(part.FlashId[4], 0xFF);
    EXPECT_EQ(part.SpareAttr, 0x10);
    ASSERT_TRUE(ParseFlashPartLine(WithToken(8, "0xffffff94"), part));
    EXPECT_EQ(part.FlashId[2], 0x94);
}

TEST(FlashPartLine, TokenElevenSplitsIntoSpareAttrAndHalfPageBlock) {
    const struct {
        const char* token;
        std::uint8_t spare;
        std::uint8_t halfPage;
    } cases[] = {
        {"0x00AB12CD", 0xCD, 0xAB},  // byte 1 (0x12) is dropped
        {"0xFFAB12CD", 0xCD, 0xAB},  // byte 3 too
        {"0x0000FF00", 0x00, 0x00}, {"65536", 0x00, 0x01}, {"7", 0x07, 0x00},
    };
    for (const auto& c : cases) {
        FlashPart part;
        ASSERT_TRUE(ParseFlashPartLine(WithToken(11, c.token), part)) << c.token;
        EXPECT_EQ(part.SpareAttr, c.spare) << c.token;
        EXPECT_EQ(part.HalfPageBlock, c.halfPage) << c.token;
    }
}

TEST(FlashPartLine, TextTokensKeepAtMost31Characters) {
    const std::string longName(40, 'N');
    FlashPart part;
    ASSERT_TRUE(ParseFlashPartLine(WithToken(1, longName), part));
    EXPECT_EQ(std::string(part.FlashName), longName.substr(0, 31));
    EXPECT_EQ(part.FlashName[31], '\0');
    EXPECT_STREQ(part.PartNumber, "AX29F64G08");
}

TEST(FlashPartLine, RefusesMalformedLinesAndLeavesThePartAlone) {
    const std::string good = kGoodLine;
    const std::string cases[] = {
        WithToken(1, "AX_64G8T"),         // underscore ends the first token
        WithToken(2, "AX29F-64G08"),      // so do '-' and '.'
        WithToken(5, "3.0"),              //
        WithToken(4, "-2"),               // no signs
        WithToken(6, "0xAG"),             // not hexadecimal
        WithToken(6, "12a"),              // not decimal
        WithToken(7, "0x"),               // prefix without digits
        WithToken(9, "4294967296"),       // beyond 32 bits
        WithToken(9, "0x100000000"),      //
        good.substr(0, good.rfind(' ')),  // 16 tokens
        "",                               //
        "   \t ",                         //
        WithToken(17, "1,"),              // junk glued to the last token
    };
    for (const std::string& line : cases) {
        FlashPart part;
        part.CeCount = 77;
        std::string reason;
        EXPECT_FALSE(ParseFlashPartLine(line, part, &reason)) << line;
        EXPECT_FALSE(reason.empty()) << line;
        EXPECT_EQ(part.CeCount, 77) << line;
    }
}

TEST(FlashPartLine, BlanksAndTabsSeparateAndTrailingWordsAreNotRead) {
    FlashPart part;
    ASSERT_TRUE(ParseFlashPartLine(
        std::string("\tA\t B ") + "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 spare words", part));
    EXPECT_STREQ(part.FlashName, "A");
    EXPECT_EQ(part.OnePlane, 15);
}

TEST_F(FlashPartsListTest, LoadsARealisticListOfTwoVendors) {
    Put("; flash parts of the line\r\n"
        "[Vendor]\r\n"
        "Name00=Axion\r\n"
        "Name01 = Brightmem \r\n"
        "Name03=Unreached\r\n"  // Name02 is missing: the vendor list ends
        "\r\n"
        "[Axion]\r\n"
        "Name000=AX32G4T AX29F32G08 0x0080 1 2 0xAD 0xD7 0x94 0xDA 0x74 0 0 0 0 0 0 0\r\n"
        "Name001=AX64G8T AX29F64G08 0x1181 2 3 0xAD 0xDE 0x94 0xDA 0x74 0x00030010 1 32 4096 5 "
        "3 1\r\n"
        "Name003=AXLOST AXLOST 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\r\n"
        "[brightmem]\r\n"
        "name000=\"BM128G BM58T128 0x2482 4 3 0x98 0xDE 0x94 0x93 0x76 0x50 0 0 0 8 1 0\"\r\n"
        "[Unreached]\r\n"
        "Name000=UR UR 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\r\n");
    FlashPartsList list;
    FlashListError error;
    ASSERT_TRUE(LoadFlashList(path_, list, &error)) << error.reason;
    EXPECT_EQ(list.Vendors, (std::vector<std::string>{"Axion", "Brightmem"}));
    EXPECT_EQ(list.VendorPartEnd, (std::vector<int>{2, 3}));
    ASSERT_EQ(list.Parts.size(), 3u);
    EXPECT_STREQ(list.Parts[1].FlashName, "AX64G8T");
    EXPECT_EQ(list.Parts[1].TypeWord, 0x1181);
    EXPECT_EQ(list.Parts[1].HalfPageBlock, 3);
    EXPECT_STREQ(list.Parts[2].FlashName, "BM128G");
    EXPECT_EQ(list.Parts[2].FlashId[0], 0x98);
    EXPECT_EQ(list.Parts[2].PageMapType, 8);

    EXPECT_EQ(FindFlashPartByName(list, "BM128G"), 2);
    EXPECT_EQ(FindFlashPartByName(list, "AX32G4T"), 0);
    EXPECT_EQ(FindFlashPartByName(list, "bm128g"), -1);
    EXPECT_EQ(FindFlashPartByName(list, "BM128"), -1);
    EXPECT_EQ(FindFlashPartByName(list, nullptr), -1);
}

TEST_F(FlashPartsListTest, AMalformedLineStopsTheWholeListAndIsNamed) {
    const struct {
        const char* badLine;
        const char* what;
    } cases[] = {
        {"Name002=AX3 AX3 0x0080 1 1 0 0 0 0 0 0 0 0 0 0 0", "16 tokens"},
        {"Name002=AX_3 AX3 0x0080 1 1 0 0 0 0 0 0 0 0 0 0 0 0", "underscore in the name"},
        {"Name002=AX3 AX3 0x00G0 1 1 0 0 0 0 0 0 0 0 0 0 0 0", "bad number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Put(std::string("[Vendor]\r\nName00=Axion\r\nName01=Brightmem\r\n[Axion]\r\n") +
            "Name000=AX1 AX1 0x0080 1 1 0 0 0 0 0 0 0 0 0 0 0 0\r\n" +
            "Name001=AX2 AX2 128 1 1 0 0 0 0 0 0 0 0 0 0 0 0\r\n" + c.badLine + "\r\n" +
            "Name003=AX4 AX4 128 1 1 0 0 0 0 0 0 0 0 0 0 0 0\r\n" +
            "[Brightmem]\r\nName000=BM1 BM1 128 1 1 0 0 0 0 0 0 0 0 0 0 0 0\r\n");
        FlashPartsList list;
        FlashListError error;
        EXPECT_FALSE(LoadFlashList(path_, list, &error));
        ASSERT_EQ(list.Parts.size(), 2u);
        EXPECT_STREQ(list.Parts[1].FlashName, "AX2");
        EXPECT_EQ(list.Parts[0].TypeWord, list.Parts[1].TypeWord);
        EXPECT_EQ(list.Vendors, (std::vector<std::string>{"Axion"}));
        EXPECT_EQ(list.VendorPartEnd, (std::vector<int>{2}));
        EXPECT_EQ(error.line, 7);
        EXPECT_EQ(error.section, "Axion");
        EXPECT_EQ(error.key, "Name002");
        EXPECT_FALSE(error.reason.empty());
    }
}

TEST_F(FlashPartsListTest, AnUnusableListReportsFailure) {
    const struct {
        const char* content;  // nullptr: no file at all
        const char* what;
    } cases[] = {
        {nullptr, "missing file"},
        {"", "empty file"},
        {"[Vendor]\r\n[Axion]\r\nName000=A A 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\r\n", "no vendor"},
        {"[Vendor]\r\nName00=No\r\n[No]\r\nName000=A A 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\r\n",
         "\"No\" ends the vendors"},
        {"[Vendor]\r\nName00=Axion\r\n[Axion]\r\nName001=A A 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\r\n",
         "parts start after a gap"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(path_);
        if (c.content != nullptr) {
            Put(c.content);
        }
        FlashPartsList list;
        list.Vendors.push_back("stale");
        EXPECT_FALSE(LoadFlashList(path_, list));
        EXPECT_TRUE(list.Parts.empty());
        EXPECT_EQ(list.Vendors.size(), list.VendorPartEnd.size());
        EXPECT_EQ(FindFlashPartByName(list, "A"), -1);
    }
}

TEST_F(FlashPartsListTest, HoldsAtMost500PartsAndReadsNoFurther) {
    std::string content = "[Vendor]\r\nName00=Axion\r\nName01=Brightmem\r\nName02=Cellar\r\n";
    content += "[Axion]\r\n";
    int n = 0;
    for (int i = 0; i < 300; ++i) {
        content += Key3(i) + "=" + NumberedLine(n++) + "\r\n";
    }
    content += "[Brightmem]\r\n";
    for (int i = 0; i < 200; ++i) {
        content += Key3(i) + "=" + NumberedLine(n++) + "\r\n";
    }
    content += Key3(200) + "=this line would fail but is never read\r\n";
    content += "[Cellar]\r\nName000=" + NumberedLine(n++) + "\r\n";
    Put(content);

    FlashPartsList list;
    FlashListError error;
    ASSERT_TRUE(LoadFlashList(path_, list, &error)) << error.reason;
    ASSERT_EQ(list.Parts.size(), 500u);
    EXPECT_STREQ(list.Parts[499].FlashName, "P499");
    EXPECT_EQ(list.Parts[499].FlashId[1], 499 >> 8);
    EXPECT_EQ(list.Vendors, (std::vector<std::string>{"Axion", "Brightmem"}));
    EXPECT_EQ(list.VendorPartEnd, (std::vector<int>{300, 500}));
    EXPECT_EQ(FindFlashPartByName(list, "P500"), -1);
}

TEST_F(FlashPartsListTest, VendorNameIsCutTo19ButItsSectionIsFound) {
    const std::string vendor = "Abcdefghijklmnopqrstuvwxyz";
    Put("[Vendor]\r\nName00=" + vendor + "\r\n[" + vendor + "]\r\nName000=" + NumberedLine(1) +
        "\r\n");
    FlashPartsList list;
    ASSERT_TRUE(LoadFlashList(path_, list));
    EXPECT_EQ(list.Vendors, (std::vector<std::string>{vendor.substr(0, 19)}));
    EXPECT_EQ(list.VendorPartEnd, (std::vector<int>{1}));
}

}  // namespace
}  // namespace kv
