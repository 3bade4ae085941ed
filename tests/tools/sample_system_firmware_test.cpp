#include "tools/sample_system_firmware.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "firmware/firmware_files.h"
#include "firmware/identify_patch.h"
#include "firmware/system_firmware_file.h"
#include "support/temp_folder.h"

namespace kv::tools {
namespace {

std::uint16_t IdentifyWord(const std::vector<std::uint8_t>& file, int word) {
    const std::size_t at = kIdentifyTemplateOffset + static_cast<std::size_t>(word) * 2;
    return static_cast<std::uint16_t>(file[at] | (file[at + 1] << 8));
}

TEST(SampleSystemFirmware, BothFilesPassTheCheckAndSayWhatTheyAre) {
    test::TempFolder folder("kv_sysfw");
    std::string error;
    ASSERT_TRUE(WriteSampleSystemFirmware(folder.path(), error)) << error;
    struct Case {
        const char* name;
        char letter;
    } cases[] = {{"SYS_S.bin", 'S'}, {"SYS_U.bin", 'U'}};
    for (const Case& c : cases) {
        const std::string path = folder.File(c.name);
        EXPECT_TRUE(IsSoundSystemFirmwareFile(path)) << c.name;
        std::ifstream in(path, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        ASSERT_GE(bytes.size(), 4096u);
        EXPECT_EQ(bytes[kSysBusLetterOffset], static_cast<std::uint8_t>(c.letter));
        EXPECT_EQ(IsSystemHeaderPage(bytes), c.letter == 'S') << c.name;
        const SystemFirmwareInfo info = ReadSystemFirmwareInfo(path);
        EXPECT_TRUE(info.Sound);
        EXPECT_EQ(info.Version, "210044");
        EXPECT_EQ(info.ModelCode, "517");
        EXPECT_EQ(info.FormatCode, "21");
        EXPECT_EQ(info.BuildTag, "A1B2");
        EXPECT_EQ(info.Revision, "2.10.044");
    }
}

TEST(SampleSystemFirmware, TheVersionLineShowsTheFirmware) {
    test::TempFolder folder("kv_sysfw");
    std::string error;
    ASSERT_TRUE(WriteSampleSystemFirmware(folder.path(), error)) << error;
    FirmwareSelectionInput input;
    input.ProgramFolder = folder.path() + "/";
    input.ProgramVersion = "102003";
    const FirmwareSelection selection = SelectFirmwareFiles(input);
    EXPECT_TRUE(selection.Messages.empty());
    EXPECT_EQ(selection.VersionLine, "GDP.bin(1.02.003), SYS(2.10.044) A1B2");
}

TEST(SampleSystemFirmware, IdentifyTemplateCarriesTheWordsOfASataSsd) {
    const std::vector<std::uint8_t> file = SampleSystemFirmware({});
    EXPECT_EQ(IdentifyWord(file, 49) & 0x0300, 0x0300);  // LBA and DMA
    EXPECT_EQ(IdentifyWord(file, 76) & 0x000E, 0x000E);  // three SATA generations
    EXPECT_NE(IdentifyWord(file, 80), 0);
    EXPECT_EQ(IdentifyWord(file, 83) & 0x0400, 0x0400);  // 48-bit addressing
    EXPECT_EQ(IdentifyWord(file, 86) & 0x0400, 0x0400);
    EXPECT_EQ(IdentifyWord(file, 88) & 0x007F, 0x007F);
    EXPECT_EQ(IdentifyWord(file, 106), 0x4000);
    // Capacities and the integrity word are left to the firmware.
    for (int word : {60, 61, 100, 101, 102, 103, 255}) {
        EXPECT_EQ(IdentifyWord(file, word), 0) << word;
    }
    EXPECT_EQ(AtaStringText(file.data() + kIdentifyModelOffset, kIdentifyModelSize).substr(0, 14),
              "KV51X SATA SSD");
}

TEST(SampleSystemFirmware, ASizeThatIsNotAWholePageStillPassesTheCheck) {
    SystemFirmwareSample sample;
    sample.SizeBytes = 10000;
    const std::vector<std::uint8_t> file = SampleSystemFirmware(sample);
    EXPECT_EQ(file.size(), 10000u);
    EXPECT_TRUE(IsSoundSystemFirmwareImage(file));
}

}  // namespace
}  // namespace kv::tools
