#include "run/check_list.h"

#include <cstddef>
#include <cstring>
#include <string_view>

#include "run/test_item_catalogue.h"

namespace kv {

namespace {

std::string_view ItemNameOf(int id) {
    const TestItemRecord& record = LookupTestItem(id);
    return {record.ItemName, strnlen(record.ItemName, sizeof record.ItemName)};
}

// One line of the list and when it is shown.
struct ListedItem {
    int id;
    enum class When { Always, Enabled, EnabledOrA2B } when;
};

constexpr ListedItem kListedItems[] = {
    {kFlashModuleTest, ListedItem::When::Always},
    {kRebuildBadBlock, ListedItem::When::EnabledOrA2B},
    {kBusInterfaceTest, ListedItem::When::Always},
    {kFlashInterfaceTest, ListedItem::When::Always},
    {kPreformat, ListedItem::When::Always},
    {kDownload, ListedItem::When::Always},
    {kUpload, ListedItem::When::Enabled},
    {kRWTest, ListedItem::When::Always},
    {kCheckTables, ListedItem::When::Always},
    {kWritePpid, ListedItem::When::Enabled},
    {kSetMaxLba, ListedItem::When::Enabled},
    {kDiskFormat, ListedItem::When::Enabled},
    {kCheckTemperature, ListedItem::When::Enabled},
};

struct OptionPage {
    std::string_view line;
    std::string_view page;
};

constexpr OptionPage kOptionPages[] = {
    {"Flash Module Test", "OP_FlashModule"},
    {"Preformat", "OP_PFormat"},
    {"Download", "OP_Download"},
    {"Disk Format", "OP_Format"},
    {"Copy Image", "OP_CopyImage"},
    {"Check Temperature", "OP_CheckTemperature"},
    {"Set Max LBA", "OP_SetMaxLBA"},
};

}  // namespace

std::vector<CheckListLine> BuildCheckList(const std::uint8_t (&itemEnabled)[kItemCount],
                                          bool updateFirmwareA2B) {
    std::vector<CheckListLine> lines;
    for (const ListedItem& listed : kListedItems) {
        const bool enabled = itemEnabled[listed.id] != 0;
        bool shown = true;
        if (listed.when == ListedItem::When::Enabled) {
            shown = enabled;
        } else if (listed.when == ListedItem::When::EnabledOrA2B) {
            shown = enabled || updateFirmwareA2B;
        }
        if (shown) {
            lines.push_back({std::string(ItemNameOf(listed.id)), false});
        }
    }
    // Check marks come from the enables of every item carrying the line's text.
    for (CheckListLine& line : lines) {
        for (int id = 0; id < kItemCount; ++id) {
            if (ItemNameOf(id) == line.text) {
                line.checked = itemEnabled[id] != 0;
            }
        }
    }
    return lines;
}

void CopyCheckListToEnables(std::vector<CheckListLine>& lines,
                            std::uint8_t (&itemEnabled)[kItemCount]) {
    const std::string_view download = ItemNameOf(kDownload);
    for (const CheckListLine& line : lines) {
        if (line.text == download) {
            continue;
        }
        for (int id = 0; id < kItemCount; ++id) {
            if (ItemNameOf(id) == line.text) {
                itemEnabled[id] = line.checked ? 1 : 0;
            }
        }
    }
    // Download goes last so that it sees this pass's Preformat state wherever
    // its line stands: a preformatted drive always gets its system area written.
    for (CheckListLine& line : lines) {
        if (line.text != download) {
            continue;
        }
        const bool state = line.checked || itemEnabled[kPreformat] != 0;
        for (int id = 0; id < kItemCount; ++id) {
            if (ItemNameOf(id) == line.text) {
                itemEnabled[id] = state ? 1 : 0;
            }
        }
        line.checked = state;
    }
}

std::string OptionPageForLine(const std::string& lineText) {
    for (const OptionPage& option : kOptionPages) {
        if (option.line == lineText) {
            return std::string(option.page);
        }
    }
    return {};
}

}  // namespace kv
