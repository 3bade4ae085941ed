#include "firmware/firmware_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "firmware/read_file_field.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

using Bytes = std::vector<std::uint8_t>;

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// A system firmware file of three 2 KiB pages with its header fields; the
// check byte and balance make it sound unless `sound` is false.
Bytes SystemFile(const char* version, bool sound = true) {
    Bytes bytes(3 * 2048, 0);
    std::memcpy(bytes.data() + 0x07A, "21436587", 8);  // revision 12345678, pairs swapped
    std::memcpy(bytes.data() + 0x300, "DIZO", 4);
    std::memcpy(bytes.data() + 0x306, version, std::strlen(version));
    bytes[0x30D] = 'S';
    std::memcpy(bytes.data() + 0x324, "517", 3);
    std::memcpy(bytes.data() + 0x329, "42", 2);
    std::memcpy(bytes.data() + 0x330, "A1B2", 4);
    bytes[bytes.size() - 2] = 0xA5;
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i + 2 < bytes.size(); ++i) {
        sum = static_cast<std::uint8_t>(sum + bytes[i]);
    }
    bytes.back() = static_cast<std::uint8_t>(0x100 - sum + (sound ? 0 : 1));
    return bytes;
}

class FirmwareFilesTest : public ::testing::Test {
  protected:
    FirmwareFilesTest() : folder_("firmware_files") {}
    std::string Folder() const { return folder_.path() + "/"; }
    FirmwareSelection Select(bool sata = true, bool usb = false, bool special = false) const {
        FirmwareSelectionInput in;
        in.ProgramFolder = Folder();
        in.Sata = sata;
        in.Usb = usb;
        in.SpecialMode = special;
        in.ProgramVersion = "102003";
        return SelectFirmwareFiles(in);
    }
    test::TempFolder folder_;
};

TEST_F(FirmwareFilesTest, SoundFileShowsItsVersionAndRevision) {
    WriteFile(folder_.File("SYS_S.bin"), SystemFile("210044"));
    const FirmwareSelection sel = Select();
    EXPECT_TRUE(sel.Messages.empty());
    EXPECT_EQ(sel.SataBinName, "SYS_S.bin");
    EXPECT_EQ(sel.UsbBinName, "");
    EXPECT_TRUE(sel.Sata.Sound);
    EXPECT_EQ(sel.Sata.Version, "210044");
    EXPECT_EQ(sel.Sata.Revision, "12345678");
    EXPECT_EQ(sel.Sata.FormatCode, "42");
    EXPECT_EQ(sel.Sata.ModelCode, "517");
    EXPECT_EQ(sel.Sata.BuildTag, "A1B2");
    EXPECT_EQ(sel.StatusText, "SYS_S.bin (12345678)");
    EXPECT_EQ(sel.VersionLine, "GDP.bin(1.02.003), SYS(2.10.044) A1B2");
    EXPECT_EQ(sel.SerialLabel, "Serial Number (20) ");
    EXPECT_EQ(sel.SerialMinLength, 1);
}

TEST_F(FirmwareFilesTest, CorruptFileMessages) {
    const std::string path = Folder() + "SYS_S.bin";
    const std::string corrupt = "The " + path + " is a corrupt file, please check it.";

    WriteFile(path, SystemFile("210044", false));
    FirmwareSelection sel = Select();
    ASSERT_EQ(sel.Messages.size(), 1u);
    EXPECT_EQ(sel.Messages[0].text, corrupt);
    EXPECT_EQ(sel.Messages[0].icon, OperatorIcon::Error);
    EXPECT_EQ(sel.StatusText, "SYS_S.bin (12345678)");
    EXPECT_TRUE(Select(true, false, true).Messages.empty());  // special mode skips the check

    WriteFile(path, SystemFile(""));
    sel = Select();
    ASSERT_EQ(sel.Messages.size(), 1u);
    EXPECT_EQ(sel.Messages[0].text, corrupt);
    EXPECT_EQ(sel.StatusText, "");  // an existing file without a version is not shown
}

TEST_F(FirmwareFilesTest, MissingFileShowsTheBareNameAndNoMessage) {
    const FirmwareSelection sel = Select();
    EXPECT_TRUE(sel.Messages.empty());
    EXPECT_FALSE(sel.Sata.Found);
    EXPECT_EQ(sel.StatusText, "SYS_S.bin");
}

TEST_F(FirmwareFilesTest, UsbBoxNamesTheUsbFileAndRaisesTheSerialLength) {
    Bytes usb = SystemFile("300100");
    WriteFile(folder_.File("SYS_U.bin"), usb);
    const FirmwareSelection sel = Select(false, true);
    EXPECT_EQ(sel.UsbBinName, "SYS_U.bin");
    EXPECT_EQ(sel.SataBinName, "");
    EXPECT_EQ(sel.Usb.Version, "300100");
    EXPECT_EQ(sel.VersionLine, "GDP.bin(1.02.003), SYS(3.00.100) A1B2");
    EXPECT_EQ(sel.StatusText, "");
    EXPECT_EQ(sel.SerialLabel, "Serial Number (12-20) ");
    EXPECT_EQ(sel.SerialMinLength, 12);
}

TEST_F(FirmwareFilesTest, ProgramImageChecks) {
    const std::string gdp = folder_.File("GDP.bin");
    std::vector<OperatorMessage> m = CheckProgramImageFiles(gdp, gdp);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].text, "<WARNING> Can't find file : " + gdp);
    EXPECT_EQ(m[1].text, m[0].text);

    Bytes image(2048, 0);
    WriteFile(gdp, image);
    m = CheckProgramImageFiles(gdp, gdp);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].text, "The GDP.bin is a corrupt file, please check it.");
    EXPECT_EQ(m[1].text, "The satatest.bin is a corrupt file, please check it.");

    std::memcpy(image.data() + 0x304, "102003", 6);
    WriteFile(gdp, image);
    EXPECT_TRUE(CheckProgramImageFiles(gdp, gdp).empty());
}

TEST_F(FirmwareFilesTest, DownloadFileList) {
    WriteFile(folder_.File("SYS_S.bin"), Bytes(10000, 1));
    WriteFile(folder_.File("SYS_U.bin"), Bytes(1024, 1));

    FirmwareFileList list =
        BuildDownloadFileList(Folder(), false, false, "SYS_S.bin", "SYS_U.bin", 256);
    EXPECT_EQ(list.Outcome, FirmwareListOutcome::StartEnds);
    ASSERT_TRUE(list.Message.has_value());
    EXPECT_EQ(list.Message->text, "At lease one bin file needed!");

    list = BuildDownloadFileList(Folder(), true, true, "SYS_S.bin", "SYS_U.bin", 64);
    EXPECT_EQ(list.Outcome, FirmwareListOutcome::StartEnds);
    EXPECT_EQ(list.Message->text,
              "The Block Page number of flash is too small, then MP can't download SATA and USB "
              "codes simultaneously");

    list = BuildDownloadFileList(Folder(), true, true, "SYS_S.bin", "SYS_U.bin", 128);
    EXPECT_EQ(list.Outcome, FirmwareListOutcome::Ready);
    EXPECT_FALSE(list.Message.has_value());
    ASSERT_EQ(list.Files.size(), 2u);
    EXPECT_EQ(list.Files[0].Path, Folder() + "SYS_S.bin");
    EXPECT_EQ(list.Files[0].SizeKiB, 10u);  // 9.77 KiB rounded up
    EXPECT_EQ(list.Files[1].Path, Folder() + "SYS_U.bin");
    EXPECT_EQ(list.Files[1].SizeKiB, 1u);

    // One file on a 64-page flash is fine.
    list = BuildDownloadFileList(Folder(), true, false, "SYS_S.bin", "SYS_U.bin", 64);
    EXPECT_EQ(list.Outcome, FirmwareListOutcome::Ready);
    ASSERT_EQ(list.Files.size(), 1u);

    list = BuildDownloadFileList(Folder(), true, true, "SYS_S.bin", "SYS_X.bin", 128);
    EXPECT_EQ(list.Outcome, FirmwareListOutcome::RunEnds);
    EXPECT_EQ(list.Message->text, "Can't open: " + Folder() + "SYS_X.bin");
    EXPECT_TRUE(list.Files.empty());
}

TEST_F(FirmwareFilesTest, ReadFileField) {
    Bytes bytes(0x400, 0);
    std::memcpy(bytes.data() + 0x306, "210044", 6);
    std::memcpy(bytes.data() + 0x3FE, "AB", 2);
    const std::string path = folder_.File("field.bin");
    WriteFile(path, bytes);
    EXPECT_EQ(ReadFileField(path, 0x306, 6), "210044");
    EXPECT_EQ(ReadFileField(path, 0x306, 3), "210");
    EXPECT_EQ(ReadFileField(path, 0x300, 8), "");    // ends at the first zero byte
    EXPECT_EQ(ReadFileField(path, 0x3FE, 4), "AB");  // the file ends
    EXPECT_EQ(ReadFileField(path, 0x1000, 4), "");
    EXPECT_FALSE(ReadFileField(folder_.File("none.bin"), 0, 4).has_value());
}

}  // namespace
}  // namespace kv
