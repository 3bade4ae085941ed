#include "run/test_item_catalogue.h"

namespace kv {

constexpr std::array<TestItemRecord, kTestItemRecordCount> TestItemCatalogue{{
    {0, "", "No Error", "", ""},
    {1, "M00", "Flash Module Test Fail", "Flash Module Test", "Module\t"},
    {2, "A01", "Rebuild Bad Block Fail", "Rebuild Bad Block", "RebuildBB\t"},
    {3, "A00", "Bus Interface Test Fail", "Bus Interface Test", "SATA\t"},
    {4, "B00", "Flash Interface Test Fail", "Flash Interface Test", "Flash\t"},
    {5, "H00", "Dram Test Fail", "Dram Test", "Dram\t"},
    {6, "H01", "EraseBlocks Fail", "EraseBlocks", "E_B\t"},
    {7, "C00", "Pre-Format Fail", "Preformat", "P_F\t"},
    {8, "D00", "Download Firmware Fail", "Download", "Down\t"},
    {9, "U00", "Upload Firmware Fail", "Upload", "UP\t"},
    {10, "E00", "R/W Test Fail", "R/W Test", "R/W\t"},
    {11, "J00", "Check Tables Fail", "Check Tables", "Check Table\t"},
    {12, "W00", "Write PPID Fail", "Write PPID", "Write PPID\t"},
    {13, "J02", "Set Max LBA Fail", "Set Max LBA", "Set Max LBA\t"},
    {14, "F00", "Disk Format Fail", "Disk Format", "Format\t"},
    {15, "I00", "Copy Image Fail", "Copy Image", "CopyImage\t"},
    {16, "Q09", "Check Temperature Fail", "Check Temperature", "CheckTemper\t"},
    {17, "Q00", "Model Number Check Fail", "Model Number", "Model\t"},
    {18, "Q01", "Firmware Version Check Fail", "Firmware Version", "FMVer\t"},
    {19, "Q02", "Vendor Name Check Fail", "Vendor Name", "VName\t"},
    {20, "Q03", "Product Name Check Fail", "Product Name", "PName\t"},
    {21, "Q04", "IDEMA Capacity Check Fail", "IDEMA Capacity Check", "Capa\t"},
    {22, "Q05", "Serial Number Check Fail", "Serial Number Check", "SN\t"},
    {23, "Q06", "LBA Capacity Check Fail", "LBA Capacity Check", "CapaLBA\t"},
    {24, "E02", "Partial R/W Test Fail", "R/W Test (Partial)", "PRWTest\t"},
    {25, "E04", "Percentage R/W Test Fail", "R/W Test (Percentage)", "FERRWTest\t"},
    {26, "E05", "Full Write Test Fail", "Write Test (Full)", "FWTest\t"},
    {27, "E01", "Full R/W Test Fail", "R/W Test (Full)", "FRWTest\t"},
    {28, "G00", "Erase All Data Fail", "EraseAllData", "Erase\t"},
    {29, "J00", "QC Check Tables Fail", "QC Check Tables", "QC Check Table\t"},
    {30, "Q10", "Check SATA3 Speed Fail", "Check SATA3 Speed", "SATA3 Speed\t"},
    {31, "Q11", "Check PPID Fail", "Check PPID", "Check PPID\t"},
    {32, "Q12", "Check Zero Value Fail", "Check Zero Value", "Check Zero\t"},
    {33, "Q19", "Download Code Fail", "WDDownload", "Download\t"},
    {34, "Q13", "Check SSD ID Fail", "Check SSD ID", "SSD_ID\t"},
    {35, "Q14", "SSD Partial R/W Test Fail", "SSD Partial R/W Test", "SSD_R/W\t"},
    {36, "Q15", "Write HDD ID to SSD Fail", "Write HDD ID to SSD", "HDD_IDtoSSD\t"},
    {37, "Q17", "HDD Partial R/W Test Fail", "HDD Partial R/W Test", "HDD_R/W\t"},
    {38, "Q18", "Check SSD SMART Fail", "Check SSD SMART", "SSD_SMART\t"},
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
}};

namespace {

// Lookup indexes the table directly, which is only sound while every record
// sits at the index of its Id.
consteval bool IdsEqualIndices() {
    for (std::size_t i = 0; i < TestItemCatalogue.size(); ++i) {
        if (TestItemCatalogue[i].Id != i) {
            return false;
        }
    }
    return true;
}
static_assert(IdsEqualIndices(), "catalogue record out of place");

// A non-empty column title ends with exactly one tab; the log header relies on it.
consteval bool ShortNamesEndWithOneTab() {
    for (const TestItemRecord& record : TestItemCatalogue) {
        std::size_t length = 0;
        while (length < sizeof record.ShortName && record.ShortName[length] != '\0') {
            ++length;
        }
        if (length == 0) {
            continue;
        }
        if (record.ShortName[length - 1] != '\t') {
            return false;
        }
        if (length >= 2 && record.ShortName[length - 2] == '\t') {
            return false;
        }
    }
    return true;
}
static_assert(ShortNamesEndWithOneTab(), "column title without its tab");

}  // namespace

const TestItemRecord& LookupTestItem(int id) {
    if (id < 0 || id >= kTestItemRecordCount) {
        return TestItemCatalogue[0];
    }
    return TestItemCatalogue[static_cast<std::size_t>(id)];
}

}  // namespace kv
