#include "run/check_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "run/test_item_catalogue.h"

namespace kv {
namespace {

std::vector<std::string> Texts(const std::vector<CheckListLine>& lines) {
    std::vector<std::string> texts;
    for (const CheckListLine& line : lines) {
        texts.push_back(line.text);
    }
    return texts;
}

const CheckListLine* FindLine(const std::vector<CheckListLine>& lines, const std::string& text) {
    for (const CheckListLine& line : lines) {
        if (line.text == text) {
            return &line;
        }
    }
    return nullptr;
}

TEST(CheckList, NothingEnabledListsTheFixedLinesUnchecked) {
    const std::uint8_t enabled[kItemCount] = {};
    const auto lines = BuildCheckList(enabled, false);
    EXPECT_EQ(Texts(lines), (std::vector<std::string>{"Flash Module Test", "Bus Interface Test",
                                                      "Flash Interface Test", "Preformat",
                                                      "Download", "R/W Test", "Check Tables"}));
    for (const CheckListLine& line : lines) {
        EXPECT_FALSE(line.checked) << line.text;
    }
}

TEST(CheckList, EverythingEnabledListsAllLinesInOrderChecked) {
    std::uint8_t enabled[kItemCount];
    std::fill(std::begin(enabled), std::end(enabled), std::uint8_t{1});
    const auto lines = BuildCheckList(enabled, false);
    // Copy Image and the catalogue-only items never get a line.
    EXPECT_EQ(Texts(lines), (std::vector<std::string>{"Flash Module Test", "Rebuild Bad Block",
                                                      "Bus Interface Test", "Flash Interface Test",
                                                      "Preformat", "Download", "Upload", "R/W Test",
                                                      "Check Tables", "Write PPID", "Set Max LBA",
                                                      "Disk Format", "Check Temperature"}));
    for (const CheckListLine& line : lines) {
        EXPECT_TRUE(line.checked) << line.text;
    }
}

TEST(CheckList, ConditionalLinesAppearOnlyWhenEnabled) {
    struct Case {
        int id;
        const char* text;
        const char* after;  // the line it follows
    };
    const Case cases[] = {
        {kRebuildBadBlock, "Rebuild Bad Block", "Flash Module Test"},
        {kUpload, "Upload", "Download"},
        {kWritePpid, "Write PPID", "Check Tables"},
        {kSetMaxLba, "Set Max LBA", "Check Tables"},
        {kDiskFormat, "Disk Format", "Check Tables"},
        {kCheckTemperature, "Check Temperature", "Check Tables"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::uint8_t enabled[kItemCount] = {};
        EXPECT_EQ(FindLine(BuildCheckList(enabled, false), c.text), nullptr);
        enabled[c.id] = 1;
        const auto lines = BuildCheckList(enabled, false);
        const auto texts = Texts(lines);
        ASSERT_EQ(texts.size(), 8u);
        const auto at = std::find(texts.begin(), texts.end(), c.text);
        ASSERT_NE(at, texts.end());
        ASSERT_NE(at, texts.begin());
        EXPECT_EQ(*(at - 1), c.after);
        EXPECT_TRUE(FindLine(lines, c.text)->checked);
    }
    std::uint8_t enabled[kItemCount] = {};
    enabled[kCopyImage] = 1;
    enabled[5] = 1;
    enabled[33] = 1;
    EXPECT_EQ(BuildCheckList(enabled, false).size(), 7u);
}

TEST(CheckList, FirmwareUpdateModeListsRebuildBadBlockUnchecked) {
    const std::uint8_t enabled[kItemCount] = {};
    const auto lines = BuildCheckList(enabled, true);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1].text, "Rebuild Bad Block");
    EXPECT_FALSE(lines[1].checked);
}

class CheckListCopy : public ::testing::Test {
  protected:
    void SetUp() override { lines = BuildCheckList(enabled, false); }
    CheckListLine& Line(const std::string& text) {
        for (CheckListLine& line : lines) {
            if (line.text == text) {
                return line;
            }
        }
        ADD_FAILURE() << "no line " << text;
        return lines.front();
    }
    std::uint8_t enabled[kItemCount] = {};
    std::vector<CheckListLine> lines;
};

TEST_F(CheckListCopy, CheckMarksBecomeEnablesAndUnlistedItemsKeepTheirs) {
    enabled[kCopyImage] = 1;  // no line: set by its own check box
    enabled[kUpload] = 1;     // listed only when enabled, and this list predates it
    Line("Flash Module Test").checked = true;
    Line("Check Tables").checked = true;
    CopyCheckListToEnables(lines, enabled);
    EXPECT_EQ(enabled[kFlashModuleTest], 1);
    EXPECT_EQ(enabled[kCheckTables], 1);
    EXPECT_EQ(enabled[kRWTest], 0);
    EXPECT_EQ(enabled[kCopyImage], 1);
    EXPECT_EQ(enabled[kUpload], 1);

    Line("Flash Module Test").checked = false;
    CopyCheckListToEnables(lines, enabled);
    EXPECT_EQ(enabled[kFlashModuleTest], 0);
}

TEST_F(CheckListCopy, PreformatForcesDownload) {
    Line("Preformat").checked = true;
    CopyCheckListToEnables(lines, enabled);
    EXPECT_EQ(enabled[kPreformat], 1);
    EXPECT_EQ(enabled[kDownload], 1);
    EXPECT_TRUE(Line("Download").checked);

    // Unchecking Download while Preformat stays checked leaves it checked.
    Line("Download").checked = false;
    CopyCheckListToEnables(lines, enabled);
    EXPECT_EQ(enabled[kDownload], 1);
    EXPECT_TRUE(Line("Download").checked);

    // Without Preformat, Download follows its own check mark.
    Line("Preformat").checked = false;
    Line("Download").checked = false;
    CopyCheckListToEnables(lines, enabled);
    EXPECT_EQ(enabled[kPreformat], 0);
    EXPECT_EQ(enabled[kDownload], 0);
    EXPECT_FALSE(Line("Download").checked);
}

TEST_F(CheckListCopy, DownloadSeesThisPassPreformatWhereverItsLineStands) {
    enabled[kPreformat] = 1;
    std::vector<CheckListLine> reordered = {{"Download", false}, {"Preformat", false}};
    CopyCheckListToEnables(reordered, enabled);
    EXPECT_EQ(enabled[kPreformat], 0);
    EXPECT_EQ(enabled[kDownload], 0);
    EXPECT_FALSE(reordered[0].checked);

    reordered = {{"Download", false}, {"Preformat", true}};
    CopyCheckListToEnables(reordered, enabled);
    EXPECT_EQ(enabled[kDownload], 1);
    EXPECT_TRUE(reordered[0].checked);
}

TEST(CheckList, OptionPages) {
    const std::pair<const char*, const char*> cases[] = {
        {"Flash Module Test", "OP_FlashModule"},
        {"Preformat", "OP_PFormat"},
        {"Download", "OP_Download"},
        {"Disk Format", "OP_Format"},
        {"Copy Image", "OP_CopyImage"},
        {"Check Temperature", "OP_CheckTemperature"},
        {"Set Max LBA", "OP_SetMaxLBA"},
        {"R/W Test", ""},
        {"Check Tables", ""},
        {"Rebuild Bad Block", ""},
        {"", ""},
        {"download", ""},
    };
    for (const auto& [line, page] : cases) {
        EXPECT_EQ(OptionPageForLine(line), page) << line;
    }
}

}  // namespace
}  // namespace kv
