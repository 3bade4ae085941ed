#include "firmware/program_image.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <vector>

#include "firmware/firmware_test_support.h"
#include "firmware/flash_header.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes At(const Bytes& image, std::size_t offset, std::size_t n) {
    return Bytes(image.begin() + static_cast<std::ptrdiff_t>(offset),
                 image.begin() + static_cast<std::ptrdiff_t>(offset + n));
}

Bytes DiagnosticImage() {
    Bytes image(kProgramImageSize);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    std::memcpy(image.data() + 0x300, "GDP_", 4);
    return image;
}

class ProgramImageTest : public ::testing::Test {
  protected:
    ProgramImageTest() : settings_(test::SettingsWith(4, 2)) { Rebuild(); }
    void Rebuild() { flash_ = test::MakeConfig(test::kToggleMlc, settings_); }
    ImageContext Context() const { return {flash_, settings_.block, settings_.process}; }

    config::Settings settings_;
    FlashConfig flash_;
};

TEST_F(ProgramImageTest, ShortFileIsSentAsAFullBufferWithA0x66Tail) {
    test::TempFolder folder("program_image");
    const std::string path = folder.File("GDP.bin");
    {
        std::ofstream out(path, std::ios::binary);
        out << std::string(100, 'A');
    }
    const auto image = LoadProgramImage(path);
    ASSERT_TRUE(image.has_value());
    ASSERT_EQ(image->size(), 131072u);
    EXPECT_EQ((*image)[99], 'A');
    EXPECT_EQ((*image)[100], 0x66);
    EXPECT_EQ((*image)[131071], 0x66);
    EXPECT_FALSE(LoadProgramImage(folder.File("missing.bin")).has_value());

    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << std::string(131072 + 10, 'B');
    }
    EXPECT_EQ(LoadProgramImage(path)->size(), 131072u);
}

TEST_F(ProgramImageTest, PatchesEveryFieldByteByByte) {
    PortImageState port;
    port.CodeBlocks = {{4, 2, 7, 8}, 4};
    port.DefectCount = 100;
    Bytes image = DiagnosticImage();
    const Bytes before = image;
    ASSERT_TRUE(PatchProgramImage(Context(), port, 8, image));

    const Bytes header = {0x52, 0x18, 0x01, 0x04, 0x02, 0x02, 0x01, 0x1A,   // type .. code
                          0x44, 0x30, 0x20, 0x02, 0x00, 0x00, 0x00, 0x00,   // reserve .. 0
                          0x04, 0x00, 0x02, 0x00, 0x07, 0x00, 0x08, 0x00,   // code blocks
                          0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};  // 64, reserve high
    EXPECT_EQ(At(image, 0x500, 32), header);
    // Extras over the header's last eight bytes: defect ratio 48, remap offset 0.
    EXPECT_EQ(At(image, 0x520, 8), (Bytes{48, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(At(image, 0x528, 8), (Bytes{0, 1, 2, 3, 4, 5, 6, 7}));
    Bytes steps;
    for (int i = 0; i < 24; ++i) {
        steps.push_back(static_cast<std::uint8_t>(16 * 2 * i));
    }
    EXPECT_EQ(At(image, 0x530, 24), steps);
    const Bytes runtime = {
        0x00, 0x00, 0x57, 0x00,        // buffer size 0x570000
        100,  0,    0,    0,           // defect count
        8,    0,                       // first firmware page
        40,   0,    0,    0,    0, 0,  // dirty depth, extended blocks, die offset
        0,    0x61,                    // port attribute, feature flags
        0,    1,    2,    3,    4, 5, 6, 7, 0x3C, 0x3D, 0, 0, 0, 0, 0,
        0,    0,    0,    0,    0, 0, 0, 0, 0,    0,    0, 0, 0, 0, 0};
    EXPECT_EQ(At(image, 0x548, 48), runtime);
    // Nothing outside the patched fields changes.
    for (std::size_t i = 0; i < image.size(); ++i) {
        if (i < 0x500 || i >= 0x578) {
            ASSERT_EQ(image[i], before[i]) << "offset " << i;
        }
    }
}

TEST_F(ProgramImageTest, OnlyDiagnosticAndTestProgramsArePatched) {
    PortImageState port;
    for (const char* kind : {"TST_", "GDP_"}) {
        Bytes image = DiagnosticImage();
        std::memcpy(image.data() + 0x300, kind, 4);
        EXPECT_TRUE(PatchProgramImage(Context(), port, 8, image)) << kind;
    }
    for (const char* kind : {"gdp_", "SYS_", "\0\0\0\0"}) {
        Bytes image = DiagnosticImage();
        std::memcpy(image.data() + 0x300, kind, 4);
        const Bytes before = image;
        EXPECT_FALSE(PatchProgramImage(Context(), port, 8, image));
        EXPECT_EQ(image, before);
    }
    Bytes tooShort(0x560, 0);
    std::memcpy(tooShort.data() + 0x300, "GDP_", 4);
    EXPECT_FALSE(PatchProgramImage(Context(), port, 8, tooShort));
}

TEST_F(ProgramImageTest, LowPageModeCarriesTheSequenceInTheRuntimeBlock) {
    settings_.block.EnCodeBlockLowPage = 1;
    Rebuild();  // page map type 4
    std::uint8_t block[48];
    BuildRuntimeParamBlock(Context(), PortImageState{}, 30, block);
    EXPECT_EQ(Bytes(block + 0x12, block + 0x22),
              (Bytes{0, 1, 2, 3, 6, 7, 10, 11, 14, 15, 18, 19, 22, 23, 26, 27}));
    EXPECT_EQ(block[0x08], 30);

    flash_.PageMapType = 0;  // no sequence: the default list
    BuildRuntimeParamBlock(Context(), PortImageState{}, 8, block);
    EXPECT_EQ(Bytes(block + 0x12, block + 0x22),
              (Bytes{0, 1, 2, 3, 4, 5, 6, 7, 0x3C, 0x3D, 0, 0, 0, 0, 0, 0}));
}

struct HeaderCase {
    const char* what;
    std::function<void(FlashConfig&, SettingsBlock&)> change;
    std::size_t offset;
    std::uint8_t expected;
};

TEST_F(ProgramImageTest, FlashHeaderFlagAndOptionBits) {
    const HeaderCase cases[] = {
        {"low page", [](FlashConfig&, SettingsBlock& s) { s.EnLowPage = 1; }, 0x02, 0x11},
        {"alternate family", [](FlashConfig& f, SettingsBlock&) { f.AltFamily = 1; }, 0x02, 0x21},
        {"option bytes 0-2",
         [](FlashConfig& f, SettingsBlock&) { f.OptionFlags[0] = f.OptionFlags[2] = 9; }, 0x09,
         0x35},
        {"two banks with option 3", [](FlashConfig& f, SettingsBlock&) { f.OptionFlags[3] = 1; },
         0x09, 0x38},
        {"four banks", [](FlashConfig& f, SettingsBlock&) { f.Banks = 4; }, 0x09, 0x38},
        {"one bank with option 3",
         [](FlashConfig& f, SettingsBlock&) {
             f.Banks = 1;
             f.OptionFlags[3] = 1;
         },
         0x09, 0x30},
        {"spare attribute, scramble on", [](FlashConfig& f, SettingsBlock&) { f.SpareAttr = 1; },
         0x09, 0x30},
        {"spare attribute, scramble off",
         [](FlashConfig& f, SettingsBlock&) {
             f.SpareAttr = 1;
             f.OptionFlags[4] = 0;
         },
         0x09, 0xA0},
        {"option 6", [](FlashConfig& f, SettingsBlock&) { f.OptionFlags[6] = 1; }, 0x09, 0x70},
        {"options 8 and 14",
         [](FlashConfig& f, SettingsBlock&) {
             f.OptionFlags[8] = 1;
             f.OptionFlags[14] = 1;
         },
         0x0A, 0x61},
        {"reserve low byte", [](FlashConfig& f, SettingsBlock&) { f.ResPercentage = 300; }, 0x08,
         0x2C},
        {"reserve high byte", [](FlashConfig& f, SettingsBlock&) { f.ResPercentage = 300; }, 0x1A,
         0x01},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.what);
        FlashConfig flash = flash_;
        SettingsBlock block = settings_.block;
        c.change(flash, block);
        const ImageContext ctx{flash, block, settings_.process};
        std::uint8_t header[40];
        std::memset(header, 0xEE, sizeof header);
        BuildFlashHeader(ctx, CodeBlockList{}, 0x1A, header);
        EXPECT_EQ(header[c.offset], c.expected);
        EXPECT_EQ(header[0x27], 0);  // the header is cleared first
    }
}

TEST_F(ProgramImageTest, BufferSizeFormula) {
    // g 2048, h 8, l 139, m 988: 5675344 >> 14 = 346, (346 + 1) << 14 = 5685248,
    // rounded up to a multiple of 2 x 8192 x 4.
    EXPECT_EQ(BufferSizeFormula(flash_, 100), 0x570000u);
    // Only the low 16 bits of the defect count enter the formula.
    EXPECT_EQ(BufferSizeFormula(flash_, 100 + 0x10000), 0x570000u);
    // A defect count beyond the reserve makes the sum negative: no wrap to a huge size.
    EXPECT_EQ(BufferSizeFormula(flash_, 4464), 0u);
    FlashConfig empty;
    EXPECT_EQ(BufferSizeFormula(empty, 0), (((0x300000u + 16) >> 14) + 1) << 14);
}

}  // namespace
}  // namespace kv
