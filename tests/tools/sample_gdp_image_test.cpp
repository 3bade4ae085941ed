#include "tools/sample_gdp_image.h"

#include <gtest/gtest.h>

#include <string>

#include "config/settings_keys.h"
#include "config/settings_text.h"
#include "firmware/firmware_files.h"
#include "firmware/program_image.h"
#include "support/temp_folder.h"

namespace kv::tools {
namespace {

TEST(SampleGdpImage, StationAcceptsAndPatchesIt) {
    test::TempFolder folder("kv_gdp");
    const std::string path = folder.File("GDP.bin");
    std::string error;
    ASSERT_TRUE(WriteSampleGdpImage(path, error)) << error;
    EXPECT_TRUE(CheckProgramImageFiles(path, path).empty());

    std::optional<std::vector<std::uint8_t>> image = LoadProgramImage(path);
    ASSERT_TRUE(image);
    EXPECT_TRUE(IsPatchableProgramImage(*image));
    EXPECT_EQ(ProgramImageVersion(*image), "102003");
    EXPECT_EQ(ProgramImageBuildTag(*image), "A1B2");
    EXPECT_EQ(GroupedVersion(ProgramImageVersion(*image)), "1.02.003");

    config::SettingsText none;
    config::Settings settings;
    config::ReadSettingsKeys(none, settings);
    FlashConfig flash;
    flash.Channels = 4;
    flash.Banks = 2;
    flash.SectorsPerPage = 8;
    const ImageContext ctx{flash, settings.block, settings.process};
    PortImageState port;
    ASSERT_TRUE(PatchProgramImage(ctx, port, 8, *image));
    EXPECT_EQ((*image)[0x503], 4);
    EXPECT_EQ((*image)[0x504], 2);
    EXPECT_EQ(ProgramImageVersion(*image), "102003");
}

TEST(SampleGdpImage, UnwritableFileIsReported) {
    std::string error;
    EXPECT_FALSE(WriteSampleGdpImage("/nonexistent-folder/GDP.bin", error));
    EXPECT_NE(error.find("GDP.bin"), std::string::npos);
}

}  // namespace
}  // namespace kv::tools
