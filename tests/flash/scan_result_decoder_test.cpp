#include "flash/scan_result_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

namespace kv {
namespace {

FlashConfig FourByTwo() {
    FlashConfig flash;
    flash.Channels = 4;
    flash.Banks = 2;
    flash.BlocksPerPlaneDie = 2048;
    const std::uint8_t id[5] = {0x2C, 0x88, 0x04, 0x4B, 0xA9};
    std::copy(id, id + 5, flash.FlashId);
    return flash;
}

// A diagnostic log buffer: entries from byte 4, then the 0xFF end marker.
std::vector<std::uint8_t> DiagLog(const std::vector<std::array<std::uint8_t, 3>>& entries) {
    std::vector<std::uint8_t> log(64, 0);
    std::size_t at = 4;
    for (const auto& e : entries) {
        log[at] = e[0];
        log[at + 1] = e[1];
        log[at + 2] = e[2];
        at += 4;
    }
    log[at] = 0xFF;
    log[at + 1] = 0xFF;
    log[at + 2] = 0xFF;
    return log;
}

struct Record {
    std::uint8_t code, channel, bank, die;
    std::uint16_t value;
    std::uint8_t page, error;
    std::array<std::uint8_t, 5> id;
};

// A result report without its count byte: records of 16 bytes, 17 for 128 and 130.
std::vector<std::uint8_t> Records(const std::vector<Record>& records) {
    std::vector<std::uint8_t> out;
    for (const Record& r : records) {
        std::vector<std::uint8_t> bytes((r.code == 128 || r.code == 130) ? 17 : 16, 0);
        bytes[0] = r.code;
        bytes[1] = r.channel;
        bytes[2] = r.bank;
        bytes[3] = r.die;
        bytes[4] = static_cast<std::uint8_t>(r.value & 0xFF);
        bytes[5] = static_cast<std::uint8_t>(r.value >> 8);
        bytes[6] = r.page;
        bytes[8] = r.error;
        std::copy(r.id.begin(), r.id.end(), bytes.begin() + 10);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    out.resize(2047, 0);
    return out;
}

TEST(FlashInterfaceDecoder, ListsFindingsAndTheBadUnits) {
    const auto log = DiagLog({{1, 0, 2}, {1, 0, 5}, {0, 0, 10}, {3, 1, 4}});
    std::string text;
    int failCode = 4;
    BadUnitList bad;
    DecodeFlashInterfaceResult(log, FourByTwo(), text, &failCode, &bad);
    EXPECT_EQ(text,
              "Flash Interface Test Fail\r\n"
              "ReadFlashID fail. Ch#01, Bank#00\r\n"
              "Flash Prog fail when turn on ECC. Ch#01, Bank#00\r\n"
              "Test SRAM Memory Fail\r\n"
              "Flash Erase fail. Ch#03, Bank#01\r\n"
              "\r\nBad CH/CE:\r\n"
              "CH#1, BK#0\r\n"
              "CH#3, BK#1\r\n");
    EXPECT_EQ(failCode, 57);  // the last entry's code wins
    EXPECT_EQ(bad.count, 2);  // the SRAM entry is not tallied
    EXPECT_EQ(bad.lastIndex, 3 + 1 * 4);
}

TEST(FlashInterfaceDecoder, EmptyLogsLeaveEverythingAsItWas) {
    std::string text;
    int failCode = 4;
    BadUnitList bad;
    DecodeFlashInterfaceResult(DiagLog({}), FourByTwo(), text, &failCode, &bad);
    EXPECT_EQ(text, "");
    EXPECT_EQ(failCode, 4);
    EXPECT_EQ(bad.count, 0);

    // A log that never ends inside its buffer stops at the buffer's end.
    std::vector<std::uint8_t> full(4 + 4 * 3, 0);
    for (std::size_t at = 4; at < full.size(); at += 4)
        full[at + 2] = 2;
    DecodeFlashInterfaceResult(full, FourByTwo(), text, &failCode);
    EXPECT_EQ(text,
              "Flash Interface Test Fail\r\n"
              "ReadFlashID fail. Ch#00, Bank#00\r\n"
              "ReadFlashID fail. Ch#00, Bank#00\r\n"
              "ReadFlashID fail. Ch#00, Bank#00\r\n"
              "\r\nBad CH/CE:\r\nCH#0, BK#0\r\n");
    EXPECT_EQ(failCode, 55);
}

TEST(FlashInterfaceDecoder, UnitsOutsideTheGeometryAreNotTallied) {
    // Channel 6 on a four-channel flash would alias unit 6 + 0 x 4 = bank 1 channel 2.
    std::string text;
    BadUnitList bad;
    DecodeFlashInterfaceResult(DiagLog({{6, 0, 1}, {0, 9, 1}}), FourByTwo(), text, nullptr, &bad);
    EXPECT_EQ(text,
              "Flash Interface Test Fail\r\n"
              "Flash RESET fail. Ch#06, Bank#00\r\n"
              "Flash RESET fail. Ch#00, Bank#09\r\n");
    EXPECT_EQ(bad.count, 0);
}

struct ScanCase {
    const char* name;
    Record record;
    const char* text;
    int failCode;  // 7 when the record has no code of its own
};

const ScanCase kScanCases[] = {
    {"missing page", {1, 2, 0, 0, 1, 0, 0, {}}, "Def Page Does Not Exist. Ch#02\r\n", 46},
    {"ecc page", {2, 2, 0, 0, 2, 0, 0, {}}, "Remap Page Is ECC Fail. Ch#02\r\n", 47},
    {"unknown page kind", {1, 0, 0, 0, 7, 0, 0, {}}, "Unknown Page Does Not Exist. Ch#00\r\n", 46},
    {"free blocks", {4, 0, 0, 0, 0, 0, 0, {}}, "Number of free block is too large.\r\n", 49},
    {"over free",
     {5, 0, 0, 0, 300, 0, 0, {}},
     "Total bad block number (300) is over (MaxFreeBlcokNum-25)\r\n",
     50},
    {"build table", {6, 0, 0, 0, 0, 0, 0, {}}, "Build Table Fail.\r\n", 51},
    {"bad block", {7, 2, 1, 0, 0x12C, 0, 0, {}}, "Ch#02, Bank#01, BlockNo#012C\r\n", 7},
    {"bad page",
     {8, 2, 1, 0, 0x12C, 0x11, 5, {}},
     "Ch#02, Bank#01, BlockNo#012C, Page#11, ErrorCode=5\r\n",
     7},
    {"remap", {9, 3, 0, 0, 0, 0, 0, {}}, "Ch#03 Try Remap Fail\r\n", 52},
    {"seen counts", {129, 2, 1, 0, 0, 0, 0, {}}, "Scan Result -  Ch:02 , Bank:01\r\n", 7},
    {"seen id",
     {131, 1, 1, 0, 0, 0, 0, {0xEC, 0xD7, 0x94, 0x7A, 0x54}},
     "Scan Result -  ID: EC D7 94 7A 54 (Ch#01, Bank#01)\r\n",
     7},
    {"unknown code", {77, 1, 1, 0, 0, 0, 0, {}}, "", 7},
};

class ScanDecoder : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScanDecoder, OneRecord) {
    const ScanCase& c = GetParam();
    std::string text;
    int failCode = 7;
    BadUnitList bad;
    DecodeScanResult(1, Records({c.record}), FourByTwo(), text, &failCode, &bad);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(failCode, c.failCode);
    EXPECT_EQ(bad.count, 0);
}

INSTANTIATE_TEST_SUITE_P(Records, ScanDecoder, ::testing::ValuesIn(kScanCases),
                         [](const auto& paramInfo) {
                             std::string name = paramInfo.param.name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

TEST(ScanDecoderReport, DefectRatioRecordsAreTalliedPerUnit) {
    std::string text;
    int failCode = 7;
    BadUnitList bad;
    DecodeScanResult(
        3,
        Records(
            {{3, 1, 0, 0, 45, 0, 0, {}}, {3, 1, 0, 1, 5, 0, 0, {}}, {3, 2, 1, 0, 100, 0, 0, {}}}),
        FourByTwo(), text, &failCode, &bad);
    EXPECT_EQ(text,
              "Number of bad block is over defect ratio:\r\n"
              "Ch#01, Bank#00, Die#00, BadBlockNum: 45, BadBlockNumRatio(1/1000): 21\r\n"
              "Ch#01, Bank#00, Die#01, BadBlockNum: 5, BadBlockNumRatio(1/1000): 2\r\n"
              "Ch#02, Bank#01, Die#00, BadBlockNum: 100, BadBlockNumRatio(1/1000): 48\r\n"
              "\r\nBad CH/CE:\r\n"
              "Ch#1, CE#0, BadBlockNum: 50\r\n"
              "Ch#2, CE#1, BadBlockNum: 100\r\n");
    EXPECT_EQ(failCode, 48);
    EXPECT_EQ(bad.count, 2);
    EXPECT_EQ(bad.lastIndex, 2 + 1 * 4);
}

TEST(ScanDecoderReport, WideRecordsOfTheModuleReport) {
    // The flash-module report: header record 130 of 17 bytes, then 131 records.
    std::string text;
    DecodeScanResult(3,
                     Records({{130, 0, 0, 0, 0, 0, 0, {}},
                              {131, 0, 1, 0, 0, 0, 0, {1, 2, 3, 4, 5}},
                              {128, 0, 0, 0, 0, 0, 0, {}}}),
                     FourByTwo(), text);
    EXPECT_EQ(text,
              "Flash Setting - ID: 2C 88 04 4B A9\r\n"
              "Scan Result -  ID: 01 02 03 04 05 (Ch#00, Bank#01)\r\n"
              "Flash Setting - Ch:04 , Bank:02\r\n");
}

TEST(ScanDecoderReport, CountsAndBuffersBoundTheWalk) {
    std::string text;
    int failCode = 7;
    DecodeScanResult(0, Records({{6, 0, 0, 0, 0, 0, 0, {}}}), FourByTwo(), text, &failCode);
    EXPECT_EQ(text, "");
    EXPECT_EQ(failCode, 7);

    // A count of 255 in a 2,047-byte report reads only the 127 records it holds.
    std::vector<Record> many(200, Record{6, 0, 0, 0, 0, 0, 0, {}});
    DecodeScanResult(255, Records(many), FourByTwo(), text, &failCode);
    std::size_t lines = 0;
    for (std::size_t at = text.find("Build"); at != std::string::npos;
         at = text.find("Build", at + 1))
        ++lines;
    EXPECT_EQ(lines, 2047u / 16);
}

}  // namespace
}  // namespace kv
