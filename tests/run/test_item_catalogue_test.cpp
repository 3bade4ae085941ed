#include "run/test_item_catalogue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kv {
namespace {

struct ExpectedRecord {
    int id;
    const char* errorCode;
    const char* failText;
    const char* itemName;
    const char* shortName;  // the column title without its closing tab
};

// The catalogue as the station's operators know it, typed in independently of
// the production table so that a typo in either shows up.
const ExpectedRecord kExpected[] = {
    {0, "", "No Error", "", ""},
    {1, "M00", "Flash Module Test Fail", "Flash Module Test", "Module"},
    {2, "A01", "Rebuild Bad Block Fail", "Rebuild Bad Block", "RebuildBB"},
    {3, "A00", "Bus Interface Test Fail", "Bus Interface Test", "SATA"},
    {4, "B00", "Flash Interface Test Fail", "Flash Interface Test", "Flash"},
    {5, "H00", "Dram Test Fail", "Dram Test", "Dram"},
    {6, "H01", "EraseBlocks Fail", "EraseBlocks", "E_B"},
    {7, "C00", "Pre-Format Fail", "Preformat", "P_F"},
    {8, "D00", "Download Firmware Fail", "Download", "Down"},
    {9, "U00", "Upload Firmware Fail", "Upload", "UP"},
    {10, "E00", "R/W Test Fail", "R/W Test", "R/W"},
    {11, "J00", "Check Tables Fail", "Check Tables", "Check Table"},
    {12, "W00", "Write PPID Fail", "Write PPID", "Write PPID"},
    {13, "J02", "Set Max LBA Fail", "Set Max LBA", "Set Max LBA"},
    {14, "F00", "Disk Format Fail", "Disk Format", "Format"},
    {15, "I00", "Copy Image Fail", "Copy Image", "CopyImage"},
    {16, "Q09", "Check Temperature Fail", "Check Temperature", "CheckTemper"},
    {17, "Q00", "Model Number Check Fail", "Model Number", "Model"},
    {18, "Q01", "Firmware Version Check Fail", "Firmware Version", "FMVer"},
    {19, "Q02", "Vendor Name Check Fail", "Vendor Name", "VName"},
    {20, "Q03", "Product Name Check Fail", "Product Name", "PName"},
    {21, "Q04", "IDEMA Capacity Check Fail", "IDEMA Capacity Check", "Capa"},
    {22, "Q05", "Serial Number Check Fail", "Serial Number Check", "SN"},
    {23, "Q06", "LBA Capacity Check Fail", "LBA Capacity Check", "CapaLBA"},
    {24, "E02", "Partial R/W Test Fail", "R/W Test (Partial)", "PRWTest"},
    {25, "E04", "Percentage R/W Test Fail", "R/W Test (Percentage)", "FERRWTest"},
    {26, "E05", "Full Write Test Fail", "Write Test (Full)", "FWTest"},
    {27, "E01", "Full R/W Test Fail", "R/W Test (Full)", "FRWTest"},
    {28, "G00", "Erase All Data Fail", "EraseAllData", "Erase"},
    {29, "J00", "QC Check Tables Fail", "QC Check Tables", "QC Check Table"},
    {30, "Q10", "Check SATA3 Speed Fail", "Check SATA3 Speed", "SATA3 Speed"},
    {31, "Q11", "Check PPID Fail", "Check PPID", "Check PPID"},
    {32, "Q12", "Check Zero Value Fail", "Check Zero Value", "Check Zero"},
    {33, "Q19", "Download Code Fail", "WDDownload", "Download"},
    {34, "Q13", "Check SSD ID Fail", "Check SSD ID", "SSD_ID"},
    {35, "Q14", "SSD Partial R/W Test Fail", "SSD Partial R/W Test", "SSD_R/W"},
    {36, "Q15", "Write HDD ID to SSD Fail", "Write HDD ID to SSD", "HDD_IDtoSSD"},
    {37, "Q17", "HDD Partial R/W Test Fail", "HDD Partial R/W Test", "HDD_R/W"},
    {38, "Q18", "Check SSD SMART Fail", "Check SSD SMART", "SSD_SMART"},
    {39, "", "", "", ""},
    {40, "K00", "Check Loader Block Fail", "Check Loader Block", ""},
    {41, "T00", "Timeout", "", ""},
    {42, "E03", "Random Read Test Fail", "", ""},
    {43, "J01", "Bad block is over", "", ""},
    {44, "Q07", "Folder Check Fail", "", ""},
    {45, "Q08", "File R/W Test Fail", "", ""},
    {46, "C01", "", "", ""},
    {47, "C02", "", "", ""},
    {48, "C03", "Over defect ratio", "", ""},
    {49, "C04", "", "", ""},
    {50, "C05", "", "", ""},
    {51, "C06", "", "", ""},
    {52, "C07", "Try Remap Fail", "", ""},
    {53, "C08", "", "", ""},
    {54, "B01", "", "", ""},
    {55, "B02", "", "", ""},
    {56, "B03", "", "", ""},
    {57, "B04", "", "", ""},
    {58, "B05", "", "", ""},
    {59, "B06", "", "", ""},
    {60, "B07", "", "", ""},
    {61, "B08", "", "", ""},
    {62, "B09", "", "", ""},
    {63, "B10", "", "", ""},
    {64, "B11", "", "", ""},
    {65, "B12", "Dram 1 Test Fail", "Dram 1 Test", ""},
    {66, "B13", "Dram 2 Test Fail", "Dram 2 Test", ""},
    {67, "B14", "Dram both Test Fail", "Dram both Test", ""},
    {68, "P00", "Check Chip Fail", "Check Chip", ""},
    {69, "P01", "Check Erase Count Fail", "Check Erase Count", ""},
    {70, "P03", "Check RDT Result Fail", "Check RDT Result", ""},
    {71, "P04", "Check SN Length Fail", "Check SN Length", ""},
    {72, "P05", "BB/plane Over Spec Fail", "BB/plane Over Spec", ""},
    {73, "P06", "Upper Prog. Fail Over Spec Fail", "Upper Prog. Fail Over Spec", ""},
    {74, "P07", "ECC Fail Happen Fail", "ECC Fail Happen", ""},
    {75, "P08", "Set Serial Fail", "Set Serial", ""},
    {76, "P09", "Check RDT Serial Fail", "Check RDT Serial", ""},
    {77, "P10", "Get Smart Info Fail", "Get Smart Info", ""},
    {78, "P11", "RDT Log Dump Fail", "RDT Log Dump", ""},
    {79, "P12", "RDT Log Result Fail", "RDT Log Result", ""},
    {80, "P13", "RDT DRAM SCREEN Fail", "Check RDT DRAM SCREEN", ""},
    {81, "P17", "RDT get defect Fail", "RDT get defect ", ""},
    {82, "P14", "Check LTS Result Fail", "Check LTS Result", ""},
    {83, "P15", "LTS DRAM Fail", "Check LTS DRAM", ""},
    {84, "P16", "LTS NAND SCREEN Fail", "Check LTS NAND SCREEN", ""},
    {85, "P18", "Jump To Loader Fail", "Jump To Loader", ""},
    {86, "P19", "Check PPID Length Fail", "Check PPID Length", ""},
};

template <std::size_t N>
std::string Field(const char (&field)[N]) {
    EXPECT_LT(strnlen(field, N), N) << "field without terminator";
    return std::string(field, strnlen(field, N));
}

TEST(TestItemCatalogue, EveryRecordMatchesTheTable) {
    ASSERT_EQ(std::size(kExpected), TestItemCatalogue.size());
    for (const ExpectedRecord& expected : kExpected) {
        SCOPED_TRACE("record " + std::to_string(expected.id));
        const TestItemRecord& record = LookupTestItem(expected.id);
        EXPECT_EQ(record.Id, expected.id);
        EXPECT_EQ(Field(record.ErrorCode), expected.errorCode);
        EXPECT_EQ(Field(record.FailText), expected.failText);
        EXPECT_EQ(Field(record.ItemName), expected.itemName);
        // A column title is stored with its closing tab; an empty one stays empty.
        const std::string shortName = expected.shortName;
        EXPECT_EQ(Field(record.ShortName), shortName.empty() ? "" : shortName + "\t");
    }
}

TEST(TestItemCatalogue, OutOfRangeIdsGiveTheNoErrorRecord) {
    for (int id : {-1, -1000, 87, 1000}) {
        const TestItemRecord& record = LookupTestItem(id);
        EXPECT_EQ(&record, &TestItemCatalogue[0]) << id;
        EXPECT_STREQ(record.FailText, "No Error");
    }
    EXPECT_EQ(LookupTestItem(86).Id, 86);
}

// The named ids and codes must point at the records whose codes the station
// shows for them; edge cases of the table ride along (82..84 and 81 are out of
// numeric order, 46 has no texts but still its code, 11 and 29 share "J00").
TEST(TestItemCatalogue, NamedIdsAndCodesPointAtTheirRecords) {
    struct Case {
        int id;
        const char* errorCode;
    };
    const Case cases[] = {
        {kFlashModuleTest, "M00"},
        {kRebuildBadBlock, "A01"},
        {kBusInterfaceTest, "A00"},
        {kFlashInterfaceTest, "B00"},
        {kPreformat, "C00"},
        {kDownload, "D00"},
        {kUpload, "U00"},
        {kRWTest, "E00"},
        {kCheckTables, "J00"},
        {kWritePpid, "W00"},
        {kSetMaxLba, "J02"},
        {kDiskFormat, "F00"},
        {kCopyImage, "I00"},
        {kCheckTemperature, "Q09"},
        {kFailNone, ""},
        {kFailCheckLoaderBlock, "K00"},
        {kFailTimeout, "T00"},
        {kFailBadBlockOver, "J01"},
        {kFailPageNotExist, "C01"},
        {kFailPageEcc, "C02"},
        {kFailOverDefectRatio, "C03"},
        {kFailFreeBlockTooLarge, "C04"},
        {kFailBadBlockOverMaxFree, "C05"},
        {kFailBuildTable, "C06"},
        {kFailTryRemap, "C07"},
        {kFailFlashReset, "B01"},
        {kFailReadFlashId, "B02"},
        {kFailSecondReadFlashId, "B03"},
        {kFailFlashErase, "B04"},
        {kFailFlashProgEccOn, "B05"},
        {kFailFlashProgEccOff, "B06"},
        {kFailFlashEcc, "B07"},
        {kFailFlashSpareBytes, "B08"},
        {kFailFlashSecondErase, "B09"},
        {kFailSramTest, "B10"},
        {kFailEccTest, "B11"},
        {kFailCheckEraseCount, "P01"},
        {kFailCheckRdtResult, "P03"},
        {kFailCheckSnLength, "P04"},
        {kFailBbPerPlaneOverSpec, "P05"},
        {kFailUpperProgOverSpec, "P06"},
        {kFailEccFailHappen, "P07"},
        {kFailSetSerial, "P08"},
        {kFailCheckRdtSerial, "P09"},
        {kFailGetSmartInfo, "P10"},
        {kFailRdtLogDump, "P11"},
        {kFailRdtLogResult, "P12"},
        {kFailRdtDramScreen, "P13"},
        {kFailRdtGetDefect, "P17"},
        {kFailCheckLtsResult, "P14"},
        {kFailLtsDram, "P15"},
        {kFailLtsNandScreen, "P16"},
        {kFailJumpToLoader, "P18"},
        {kFailCheckPpidLength, "P19"},
        {29, "J00"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(LookupTestItem(c.id).ErrorCode, c.errorCode) << c.id;
    }
    EXPECT_STREQ(LookupTestItem(kFailCheckLtsResult).FailText, "Check LTS Result Fail");
    EXPECT_STREQ(LookupTestItem(kFailPageNotExist).FailText, "");
}

}  // namespace
}  // namespace kv
