#include "disk/gen_image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "disk/disk_format.h"
#include "disk/disk_test_support.h"
#include "disk/volume_access.h"
#include "support/run_tool.h"

namespace kv::disk {
namespace {

using test::DiskFixture;

// A front end that answers the path question and keeps the last message.
class AnsweringUi final : public SilentUi {
  public:
    std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                       const std::string& defaultText, bool) override {
        asked = caption + "|" + prompt + "|" + defaultText;
        return answer;
    }
    std::optional<std::string> answer;
    std::string asked;
};

bool VendorModeOk(int, std::uint8_t*) {
    return true;
}

class GenImage : public ::testing::Test {
  protected:
    void Format() {
        std::uint8_t buffer[65536];
        DiskFormatOutcome outcome;
        ASSERT_TRUE(DiskFormat(1, buffer, "SSD Disk", VendorModeOk, outcome));
    }
    // Port 0 empty in the run; port 1 carries a 32 GB drive (FAT size 15,260).
    DiskFixture rig{{{1024000, ""}, {62533296, ""}}};
    AnsweringUi ui;
    const std::int32_t present[3] = {0, 1, 1};
};

TEST_F(GenImage, DumpsTheSystemAreaAndTheUsedSpaceOfTheFirstPresentPort) {
    ASSERT_TRUE(rig.ok());
    Format();
    // 2 MiB of files on the volume, put there by the standard tools.
    const std::string content = rig.folder().File("content.bin");
    std::ofstream(content, std::ios::binary) << std::string(2 * 1048576, 'x');
    const test::ToolResult copied = test::RunTool(
        "MTOOLS_SKIP_CHECK=1 mcopy -i " + test::ShellQuote(rig.ImageOf(1) + "@@32256") + " " +
        test::ShellQuote(content) + " ::content.bin");
    ASSERT_EQ(copied.exitCode, 0) << copied.output;
    const char letter = rig.fixture().VolumeOfDisk(rig.Id(1))->letter;
    EXPECT_EQ(UsedSpaceMB(letter), 3u);

    const std::string file = rig.folder().File("dump.img");
    ui.answer = file;
    const GenImageResult result = GenImageBnClick(ui, present);
    EXPECT_EQ(ui.asked, "Image Path|Please Input Path of Dump Image|c:\\ZOVID.img");
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.port, 1);
    EXPECT_EQ(result.driveLetter, letter);
    EXPECT_EQ(result.usedMb, 3u);
    EXPECT_EQ(result.dumpMb, 17u);  // ((30,520 + 95) >> 11) + 3
    EXPECT_EQ(std::filesystem::file_size(file), 17u * 1048576);
    EXPECT_EQ(ui.lastText, "Dump 3MB image to " + file + " successfully");
}

TEST_F(GenImage, CancelOrNoPresentPortEndsWithTheFailMessage) {
    ASSERT_TRUE(rig.ok());
    EXPECT_FALSE(GenImageBnClick(ui, present).ok);
    EXPECT_EQ(ui.lastText, "Dump Image Fail");
    ui.answer = rig.folder().File("dump.img");
    const std::int32_t none[3] = {0, 0, 0};
    ui.lastText.clear();
    EXPECT_FALSE(GenImageBnClick(ui, none).ok);
    EXPECT_EQ(ui.lastText, "Dump Image Fail");
    EXPECT_FALSE(std::filesystem::exists(*ui.answer));
}

TEST(UsedSpaceMB, IsOneWithoutAVolume) {
    DiskFixture rig({{1024000, ""}});
    ASSERT_TRUE(rig.ok());
    EXPECT_EQ(UsedSpaceMB(0), 1u);
    EXPECT_EQ(UsedSpaceMB('Q'), 1u);
    EXPECT_EQ(OpenVolumeByLetter('Q'), nullptr);
}

}  // namespace
}  // namespace kv::disk
