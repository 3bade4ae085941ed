#include "station/control_state.h"

#include <cstdio>

#include "run/test_item_catalogue.h"

namespace kv {
namespace {

int IndexOfValue(const std::vector<int>& entries, int value) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i] == value)
            return static_cast<int>(i);
    }
    return 0;  // no equal entry: the first one shows
}

int ValueAt(const std::vector<int>& entries, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= entries.size())
        return entries.front();
    return entries[static_cast<std::size_t>(index)];
}

}  // namespace

const char* PreformatChoiceText(PreformatChoice choice) {
    switch (choice) {
        case PreformatChoice::FactoryDefaultBB:
            return "Factory Default BB";
        case PreformatChoice::FactoryNewBB:
            return "Factory + New BB";
        case PreformatChoice::EraseSearch:
            return "Erase Search";
        case PreformatChoice::InheritBBEC:
            return "Inherit BB + EC";
    }
    return "";
}

void SettingsToControls(const config::Settings& settings, bool godMode, ControlState& controls) {
    const SettingsBlock& b = settings.block;
    controls.channelIndex = IndexOfValue(controls.channelEntries, b.Channel);
    controls.bankIndex = IndexOfValue(controls.bankEntries, b.Bank);
    controls.driveCurrentIndex = IndexOfValue(controls.driveCurrentEntries, b.DrvCurrent);

    // Each later choice wins over the earlier ones.
    controls.preformat = PreformatChoice::FactoryNewBB;
    if (b.EnEarlyBad != 0)
        controls.preformat = PreformatChoice::FactoryDefaultBB;
    if (b.EnEraseReBuildBad != 0)
        controls.preformat = PreformatChoice::EraseSearch;
    if (b.EnCheckRDT != 0)
        controls.preformat = PreformatChoice::InheritBBEC;
    controls.skipEraseGoodBlock = b.EnSkipEraseGood != 0;
    controls.keepPreviousEraseCount = b.EnKeepEraseCount != 0;

    for (int bit = 0; bit < 5; ++bit) {
        controls.checkFlashId[static_cast<std::size_t>(bit)] = (b.CheckFlashMask >> bit) & 1;
    }
    controls.sataImage = (b.DownloadType & 1) != 0;
    controls.usbImage = (b.DownloadType & 2) != 0;
    controls.lba48 = b.SataLBA48 != 0;
    controls.serialDecimal = b.SNDecimal != 0;
    controls.copyImage = b.ItemEnabled[kCopyImage] != 0;
    controls.oneDram = b.EnOneDram != 0;
    controls.productPanel = godMode ? "God Mode" : std::string(b.ProductModel);
    controls.volumeLabel = b.DiskLabel;
    controls.checkList = BuildCheckList(b.ItemEnabled, b.UpdateFirmwareA2B != 0);
}

void ControlsToSettings(const ControlState& controls, config::Settings& settings) {
    SettingsBlock& b = settings.block;
    b.ItemEnabled[kCopyImage] = controls.copyImage ? 1 : 0;

    b.Channel = static_cast<std::uint8_t>(ValueAt(controls.channelEntries, controls.channelIndex));
    b.Bank = static_cast<std::uint8_t>(ValueAt(controls.bankEntries, controls.bankIndex));
    b.DrvCurrent = static_cast<std::uint8_t>(
        ValueAt(controls.driveCurrentEntries, controls.driveCurrentIndex));

    b.EnEarlyBad = controls.preformat == PreformatChoice::FactoryDefaultBB;
    b.EnEraseReBuildBad = controls.preformat == PreformatChoice::EraseSearch;
    b.EnCheckRDT = controls.preformat == PreformatChoice::InheritBBEC;
    b.EnSkipEraseGood = controls.skipEraseGoodBlock;
    b.EnKeepEraseCount = controls.keepPreviousEraseCount;

    std::uint8_t mask = 0;
    for (int bit = 0; bit < 5; ++bit) {
        if (controls.checkFlashId[static_cast<std::size_t>(bit)])
            mask |= 1u << bit;
    }
    b.CheckFlashMask = mask;
    settings.process.CheckFlashMask = mask;
    b.DownloadType =
        static_cast<std::uint8_t>((controls.sataImage ? 1 : 0) | (controls.usbImage ? 2 : 0));
    b.SataLBA48 = controls.lba48;
    b.SNDecimal = controls.serialDecimal;
    b.EnOneDram = controls.oneDram;
    std::snprintf(b.DiskLabel, sizeof b.DiskLabel, "%s", controls.volumeLabel.c_str());
}

void ClickCheckListLine(ControlState& controls, std::size_t line, config::Settings& settings) {
    if (line >= controls.checkList.size())
        return;
    controls.checkList[line].checked = !controls.checkList[line].checked;
    CopyCheckListToEnables(controls.checkList, settings.block.ItemEnabled);
}

}  // namespace kv
