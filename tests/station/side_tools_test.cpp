#include "station/side_tools.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace kv {
namespace {

FlashConfig Flash(int channels, int banks, int blocksPerCe, int pagesPerBlock, int sectorsPerPage) {
    FlashConfig flash;
    flash.Channels = static_cast<std::uint8_t>(channels);
    flash.Banks = static_cast<std::uint8_t>(banks);
    flash.BlocksPerCe = static_cast<std::uint16_t>(blocksPerCe);
    flash.PagesPerBlock = static_cast<std::uint16_t>(pagesPerBlock);
    flash.SectorsPerPage = static_cast<std::uint8_t>(sectorsPerPage);
    return flash;
}

TEST(KeyFile, StringPositionsAndNoiseFollowTheFormula) {
    const std::string secret = "ENCRYPT-ME-0123456789ABCDEF";  // 27 characters: 23 are kept
    std::uint8_t next = 0x5A;
    std::vector<std::uint8_t> drawn;
    const RandomByte random = [&] {
        drawn.push_back(next);
        return next++;
    };
    const auto bytes = BuildKeyFile(secret, random);
    ASSERT_EQ(drawn.size(), kKeyFileSize);  // a fresh number for every byte
    for (std::size_t k = 0; k < kKeyFileSize; ++k) {
        const bool stringByte = k >= 20 && k <= 66 && k % 2 == 0;
        if (stringByte) {
            const std::size_t j = (k - 20) / 2;
            const unsigned s = j < 23 ? static_cast<unsigned char>(secret[j]) : 0u;
            EXPECT_EQ(bytes[k], static_cast<std::uint8_t>(((s + j) & 0xFF) ^ 0xFF)) << k;
        } else {
            EXPECT_EQ(bytes[k], static_cast<std::uint8_t>(((drawn[k] + k) & 0xFF) ^ 0xFF)) << k;
        }
    }
    // The 24th string byte is the terminator, never the 24th character.
    EXPECT_EQ(bytes[66], static_cast<std::uint8_t>(23 ^ 0xFF));
}

TEST(KeyFile, TwoFilesOfOneStringShareTheStringBytes) {
    std::uint8_t a = 1;
    std::uint8_t b = 200;
    const auto first = BuildKeyFile("LINE-7", [&] { return a += 3; });
    const auto second = BuildKeyFile("LINE-7", [&] { return b += 5; });
    for (std::size_t j = 0; j < kKeyStringBuffer; ++j)
        EXPECT_EQ(first[20 + 2 * j], second[20 + 2 * j]) << j;
    EXPECT_NE(first, second);
}

TEST(KeyFile, TheSeededGeneratorRepeatsPerSeed) {
    const auto a = BuildKeyFile("S", SeededRandomByte(42));
    const auto b = BuildKeyFile("S", SeededRandomByte(42));
    const auto c = BuildKeyFile("S", SeededRandomByte(43));
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

TEST(KeyFile, WrittenReplacingAnOldFileWithItsMessage) {
    test::TempFolder folder("kv_keyfile");
    const std::string dir = folder.path() + "/";
    { std::ofstream(dir + "KeyFile.dat") << std::string(500, 'o'); }
    const OperatorMessage message = BnKeyFileClick(dir, "ABC", [] { return std::uint8_t{9}; });
    EXPECT_EQ(message.text, "Generate the key file (" + dir + "KeyFile.dat) successfully");
    std::ifstream in(dir + "KeyFile.dat", std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    ASSERT_EQ(bytes.size(), kKeyFileSize);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[20]), static_cast<std::uint8_t>('A' ^ 0xFF));

    const OperatorMessage failed = BnKeyFileClick(dir + "missing/", "ABC", {});
    EXPECT_EQ(failed.caption, "Error");
    EXPECT_NE(failed.text.find(dir + "missing/KeyFile.dat"), std::string::npos);
}

struct IdemaCase {
    const char* name;
    FlashConfig flash;
    bool lowPage;
    const char* input;
    const char* message;  // nullptr: accepted
    int ratio;
};

const IdemaCase kIdemaCases[] = {
    {"256 GB of the 8x4 flash", Flash(8, 4, 4096, 256, 16), false, "256", nullptr, 64},
    {"128 GB", Flash(8, 4, 4096, 256, 16), false, "128", nullptr, 532},
    {"low page halves the pages", Flash(8, 4, 4096, 256, 16), true, "120", nullptr, 119},
    {"empty", Flash(8, 4, 4096, 256, 16), false, "", "Please input a IDEMA capacity", 0},
    {"zero", Flash(8, 4, 4096, 256, 16), false, "000",
     "Please input a correct IDEMA capacity(not equal to 0)", 0},
    {"above the maximum", Flash(8, 4, 4096, 256, 16), false, "257",
     "Please input a correct IDEMA capacity(less than or equal to 256)", 0},
    {"a huge number", Flash(8, 4, 4096, 256, 16), false, "99999999999999999999",
     "Please input a correct IDEMA capacity(less than or equal to 256)", 0},
    {"no reserve left", Flash(8, 4, 4096, 256, 16), true, "256",
     "Please input a correct IDEMA capacity(the flash has no reserved blocks left for it)", 0},
    {"blocks below 1024 hold nothing", Flash(4, 1, 1000, 128, 8), false, "1",
     "Please input a correct IDEMA capacity(less than or equal to 0)", 0},
    {"no geometry", Flash(0, 0, 0, 0, 0), false, "1",
     "Please input a correct IDEMA capacity(less than or equal to 0)", 0},
};

class IdemaCalculator : public ::testing::TestWithParam<IdemaCase> {};

TEST_P(IdemaCalculator, RatioOrRefusal) {
    const IdemaCase& c = GetParam();
    auto settings = std::make_unique<SettingsBlock>();
    settings->EnLowPage = c.lowPage ? 1 : 0;
    settings->ResPercentage = 68;
    const IdemaRatio result = CalcIDEMAToRatioBnClick(c.input, c.flash, *settings);
    if (c.message == nullptr) {
        EXPECT_FALSE(result.message) << result.message->text;
        EXPECT_EQ(result.ratio, c.ratio);
        EXPECT_EQ(settings->ResPercentage, c.ratio);
    } else {
        ASSERT_TRUE(result.message);
        EXPECT_EQ(result.message->text, c.message);
        EXPECT_EQ(settings->ResPercentage, 68);  // nothing changes
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, IdemaCalculator, ::testing::ValuesIn(kIdemaCases),
                         [](const auto& paramInfo) {
                             std::string name = paramInfo.param.name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

TEST(IdemaCalculatorParts, SectorCountsIn64Bits) {
    EXPECT_EQ(IdemaSectors(256), 500118192);
    EXPECT_EQ(IdemaSectors(4096), 4096LL * 1953504 + 21168);  // past 32 bits
    EXPECT_EQ(MaxIdemaCapacityGb(Flash(8, 4, 4096, 256, 16)), 256);
    auto settings = std::make_unique<SettingsBlock>();
    settings->ResPercentage = 5;
    RestoreReservedRatioClick(*settings);
    EXPECT_EQ(settings->ResPercentage, 68);
}

TEST(VolumeLabel, Fat32CutsTwelveCharactersToEleven) {
    const VolumeLabelCheck twelve = FFsFmtChange("FAT32", "ABCDEFGHIJKL");
    EXPECT_EQ(twelve.label, "ABCDEFGHIJK");
    ASSERT_TRUE(twelve.message);
    EXPECT_EQ(twelve.message->text, "FAT32 only support Volume label 11 characters!");
    EXPECT_EQ(twelve.message->caption, "Message");

    const VolumeLabelCheck eleven = FFsFmtChange("FAT32", "ABCDEFGHIJK");
    EXPECT_EQ(eleven.label, "ABCDEFGHIJK");
    EXPECT_FALSE(eleven.message);

    const VolumeLabelCheck other = FFsFmtChange("", "ABCDEFGHIJKL");
    EXPECT_EQ(other.label, "ABCDEFGHIJKL");
    EXPECT_FALSE(other.message);
}

}  // namespace
}  // namespace kv
