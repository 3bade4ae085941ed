#include "firmware/code_download.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "device/vendor_access.h"
#include "firmware/debug_dump.h"
#include "firmware/firmware_test_support.h"
#include "firmware/program_image.h"
#include "firmware/system_area_fixture.h"
#include "support/recording_platform.h"

namespace kv {
namespace {

// The sim backend that also notes the data phases of controller-memory
// writes (carrier writes addressed to LBA 0x1234 + 0x87) and their sizes.
class CountingSim final : public platform::SimPlatform {
  public:
    using SimPlatform::SimPlatform;
    platform::PassThroughResult PassThrough(platform::DeviceHandle& device,
                                            platform::PassThroughRequest& request) override {
        const std::uint8_t* c = request.cdb;
        if (c[0] == 0xA1 && c[5] == 0x87 && c[6] == 0x34 && c[7] == 0x12) {
            pieceSectors.push_back(c[4]);
        }
        ++requests;
        return SimPlatform::PassThrough(device, request);
    }
    std::vector<int> pieceSectors;
    int requests = 0;
};

class CodeDownloadTest : public test::SystemAreaFixture {
  protected:
    void Start() {
        StartDrive("");
        counting = std::make_unique<CountingSim>(*fixture);
        platform::SetCurrent(counting.get());
        ASSERT_TRUE(VA_SetVendorFeature(0, true));
        ASSERT_TRUE(VA_EnableVendorCmd(0, 10));
    }
    void TearDown() override {
        SetVendorBusMode(2);
        test::SystemAreaFixture::TearDown();
        counting.reset();
    }
    std::string WriteImage(const std::string& name, std::vector<std::uint8_t> bytes) {
        const std::string path = folder.File(name);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    std::vector<std::uint8_t> ProgramRam() {
        std::vector<std::uint8_t> ram(kProgramImageSize);
        for (std::uint32_t at = 0; at < ram.size(); at += 65536) {
            EXPECT_TRUE(
                VA_ReadCodeFromMem(0, std::span<std::uint8_t>(ram).subspan(at, 65536), 128, at));
        }
        return ram;
    }
    std::unique_ptr<CountingSim> counting;
};

TEST_F(CodeDownloadTest, PiecesFollowTheBusMode) {
    Start();
    const struct {
        std::uint8_t busMode;
        std::vector<int> pieces;
    } cases[] = {{2, {128, 128}}, {1, {64, 64, 64, 64}}, {0, {64, 64, 64, 64}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.busMode));
        SetVendorBusMode(c.busMode);
        counting->pieceSectors.clear();
        EXPECT_TRUE(LoadCodeToMemory(0, Context(), folder.File("GDP.bin"), 0));
        EXPECT_EQ(counting->pieceSectors, c.pieces);
    }
}

TEST_F(CodeDownloadTest, ShortImageIsPatchedAndLoadedWithA66Tail) {
    Start();
    std::vector<std::uint8_t> image(70000, 0x11);
    std::memcpy(image.data() + kProgramKindOffset, "GDP_", 4);
    const std::string path = WriteImage("short.bin", image);
    std::vector<std::uint8_t> copy;
    ASSERT_TRUE(LoadCodeToMemory(0, Context(), path, 0, &copy));
    ASSERT_EQ(copy.size(), kProgramImageSize);
    // The flash header names the part's channels and chip enables.
    EXPECT_EQ(copy[0x503], flash.Channels);
    EXPECT_EQ(copy[0x504], flash.Banks);
    EXPECT_EQ(copy[69999], 0x11);
    EXPECT_EQ(copy[70000], kProgramImageFill);
    EXPECT_EQ(copy[kProgramImageSize - 1], kProgramImageFill);
    EXPECT_EQ(ProgramRam(), copy);
}

TEST_F(CodeDownloadTest, ImageOfAnotherKindGoesUnpatchedAndLeavesTheCopyAlone) {
    Start();
    std::vector<std::uint8_t> image(kProgramImageSize, 0x22);
    std::memcpy(image.data() + kProgramKindOffset, "XYZ_", 4);
    const std::string path = WriteImage("other.bin", image);
    std::vector<std::uint8_t> copy(3, 0x77);
    ASSERT_TRUE(LoadCodeToMemory(0, Context(), path, 0, &copy));
    EXPECT_EQ(copy, std::vector<std::uint8_t>(3, 0x77));
    EXPECT_EQ(ProgramRam(), image);
}

TEST_F(CodeDownloadTest, MissingImageSendsNothing) {
    Start();
    const int before = counting->requests;
    EXPECT_FALSE(LoadCodeToMemory(0, Context(), folder.File("none.bin"), 0));
    EXPECT_EQ(counting->requests, before);
    std::uint8_t flags = 0xFF;
    const ProcedureContext ctx{flash, settings.block, settings.process, folder.File("none/")};
    EXPECT_FALSE(RunGdpProgram(0, ctx, flags));
    EXPECT_EQ(flags, 0xFF);
}

TEST_F(CodeDownloadTest, ModifiedImageIsWrittenEvenWithDumpsOffAndDumpsStayOff) {
    Start();
    settings.block.EnBuildModifiedGDP = 1;
    SetDumpDebugFile(false);
    std::vector<std::uint8_t> copy;
    ASSERT_TRUE(LoadCodeToMemory(0, Context(), folder.File("GDP.bin"), 0, &copy));
    EXPECT_FALSE(DumpDebugFileOn());
    ASSERT_TRUE(std::filesystem::exists(folder.File("M_GDP.raw")));
    EXPECT_EQ(std::filesystem::file_size(folder.File("M_GDP.raw")), kProgramImageSize);
    EXPECT_FALSE(std::filesystem::exists(folder.File("11_WCM.raw")));
    std::ifstream in(folder.File("M_GDP.raw"), std::ios::binary);
    std::vector<std::uint8_t> written(kProgramImageSize);
    in.read(reinterpret_cast<char*>(written.data()), static_cast<std::streamsize>(written.size()));
    EXPECT_EQ(written, copy);
}

TEST_F(CodeDownloadTest, DumpsNumberEveryLoad) {
    Start();
    SetDumpDebugFile(true);
    const int first = CodeLoadDumpCounter();
    ASSERT_TRUE(LoadCodeToMemory(0, Context(), folder.File("GDP.bin"), 0));
    ASSERT_TRUE(LoadCodeToMemory(0, Context(), folder.File("GDP.bin"), 0));
    char name[32];
    for (int k = 0; k < 2; ++k) {
        std::snprintf(name, sizeof name, "11_WCM_%2.2d.raw", (first + k) & 0xFF);
        EXPECT_TRUE(std::filesystem::exists(folder.File(name))) << name;
    }
    EXPECT_TRUE(std::filesystem::exists(folder.File("11_WCM.raw")));
}

TEST_F(CodeDownloadTest, ProgramRunsAndHalfPageBlockPartsGetTheirFlag) {
    Start();
    std::uint8_t flags = 0xFF;
    ASSERT_TRUE(RunGdpProgram(0, Context(), flags));
    EXPECT_EQ(flags, 0);
    flash.HalfPageBlock = 1;
    ASSERT_TRUE(RunGdpProgram(0, Context(), flags));
    EXPECT_EQ(flags, kExecHalfPageBlock);
    EXPECT_TRUE(RunTestProgram(0, Context()));
}

// A controller that accepts every write but reads back zeros.
class CodeReadBackTest : public test::DeviceTest {};

TEST_F(CodeReadBackTest, PieceReadingBackDifferentFailsTheLoad) {
    AttachSata(0);
    test::TempFolder folder("kv_readback");
    const std::string path = folder.File("GDP.bin");
    std::vector<std::uint8_t> image(kProgramImageSize, 0x33);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()),
               static_cast<std::streamsize>(image.size()));
    const config::Settings settings = test::DefaultSettings();
    const FlashConfig flashConfig;
    const ProcedureContext ctx{flashConfig, settings.block, settings.process, ""};
    EXPECT_FALSE(LoadCodeToMemory(0, ctx, path, 0));
    bool traced = false;
    for (const std::string& line : backend.traces) {
        traced = traced || line.find("FAILED(VA_ReadCodeFromMem)") != std::string::npos;
    }
    EXPECT_TRUE(traced);
}

}  // namespace
}  // namespace kv
