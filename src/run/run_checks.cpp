#include "run/run_checks.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "device/debug_log.h"
#include "run/test_item_catalogue.h"

namespace kv {
namespace {

constexpr int kCapacityEntries = 10;  // "2 G" .. "1024 G"

OperatorMessage Message(std::string text) {
    return OperatorMessage{std::move(text), kMessageCaption, OperatorIcon::Warning};
}

std::size_t PortCount(std::size_t size) {
    return std::min<std::size_t>(size, kMaxPorts);
}

// Every item whose name a check-list line carries.
void ClearAttachedStatuses(const std::vector<CheckListLine>& lines, std::span<PortRecord> ports) {
    for (std::size_t i = 0; i < PortCount(ports.size()); ++i) {
        PortRecord& port = ports[i];
        if (port.Attached == 0)
            continue;
        for (const CheckListLine& line : lines) {
            for (int item = 0; item < kItemCount; ++item) {
                if (line.text == LookupTestItem(item).ItemName)
                    port.ItemStatus[item] = kItemNotSelected;
            }
        }
        port.Result = 0;
    }
}

bool DuplicateBarcodes(const AP_GOLBAL& ap, std::span<const PortRecord> ports) {
    const std::size_t count = PortCount(ports.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (ports[i].Present == 0)
            continue;
        for (std::size_t j = i + 1; j < count; ++j) {
            if (ports[j].Present != 0 &&
                std::strncmp(ap.BarcodeSn[i], ap.BarcodeSn[j], sizeof ap.BarcodeSn[i]) == 0)
                return true;
        }
    }
    return false;
}

}  // namespace

BatchState::BatchState(bool batchMode, int repeatTimes)
    : batchMode_(batchMode),
      repeatShown_(batchMode && repeatTimes != 0),
      count_(batchMode ? std::max(repeatTimes, 1) : 1),
      left_(count_) {}

std::optional<std::string> BatchState::RoundLabel() const {
    if (!repeatShown_)
        return std::nullopt;
    char text[48];
    std::snprintf(text, sizeof text, kBatchRoundFormat, Round());
    return std::string(text);
}

BatchPanel BatchState::FinalPanel() const {
    if (!batchMode_)
        return BatchPanel::Hidden;
    return pass_ ? BatchPanel::Green : BatchPanel::Red;
}

void BatchState::PortEnded(bool failed, bool ignoreError) {
    if (!batchMode_ || !failed)
        return;
    pass_ = false;
    if (!ignoreError)
        continue_ = false;
}

void BatchState::StopPressed() {
    if (batchMode_ && continue_) {
        continue_ = false;
        pass_ = false;
    }
}

int CapacityChoiceGb(int index) {
    if (index == 0)
        return 0;
    if (index < 0 || index > kCapacityEntries)
        return -1;
    return 1 << index;
}

std::optional<OperatorMessage> CheckStartSetup(const StartCheckInput& input,
                                               std::span<PortRecord> ports) {
    const SettingsBlock& block = input.settings->block;
    const int capacity = CapacityChoiceGb(block.Capacity);
    if (capacity != 0 && capacity != input.flashCapacityGb) {
        if (input.checkList != nullptr)
            ClearAttachedStatuses(*input.checkList, ports);
        return Message(kFlashParameterText);
    }
    if (!input.specialMode) {
        if (block.Channel < 1 || block.Channel > 4)
            return Message(kChannelCountText);
        if (block.Bank != 1 && block.Bank != 2 && block.Bank != 4 && block.Bank != 8)
            return Message(kBankCountText);
    }
    if (input.sataBin && input.usbBin && block.SNMinLength < 12)
        return Message(kSerialLengthText);
    if (block.EnBarCode != 0 && input.ap != nullptr && DuplicateBarcodes(*input.ap, ports))
        return Message(kSerialNotUniqueText);
    return std::nullopt;
}

bool HasNtfsPartition(const std::uint8_t (&sector)[512]) {
    if (sector[510] != 0x55 || sector[511] != 0xAA)
        return false;
    for (int entry = 0; entry < 4; ++entry) {
        if (sector[446 + entry * 16 + 4] == 0x07)
            return true;
    }
    return false;
}

DriveCheck CheckStartDrives(std::span<const PortRecord> ports, StartDriveProbe& probe) {
    DriveCheck check;
    for (std::size_t i = 0; i < PortCount(ports.size()); ++i) {
        if (ports[i].Present == 0)
            continue;
        const int port = static_cast<int>(i);
        if (probe.IsLoaderMode(port)) {
            check.sataSpeed[i] = kLoaderSataSpeed;
            continue;
        }
        std::uint8_t sector[512] = {};
        if (probe.ReadFirstSector(port, sector) && HasNtfsPartition(sector)) {
            char text[128];
            std::snprintf(text, sizeof text, kNtfsPartitionFormat, port + 1);
            check.message = Message(text);
            return check;
        }
        std::uint8_t identify[512] = {};
        if (probe.ReadIdentify(port, identify)) {
            const std::uint8_t speed = identify[76 * 2];
            check.sataSpeed[i] = speed;
            OutputDbgMsg(kSataSpeedTraceFormat, speed);
        }
    }
    return check;
}

RunModes ChooseRunModes(const RdPageChoice& choice) {
    RunModes modes;
    if (!choice.rdPageActive)
        return modes;
    if (choice.claimNew)
        modes.ClaimNewMode = true;
    else
        modes.TableMode = choice.getDefTable || choice.putDefTable || choice.getLaterTable ||
                          choice.putLaterTable;
    return modes;
}

RunItems PrepareRunItems(const std::uint8_t (&itemEnabled)[kItemCount], bool sataBin, bool usbBin,
                         const FirmwareChoice& firmware) {
    RunItems items;
    if (std::none_of(itemEnabled, itemEnabled + kItemCount,
                     [](std::uint8_t b) { return b != 0; })) {
        items.outcome = StartOutcome::NothingToRun;
        return items;
    }
    if (itemEnabled[kDownload] == 0 && itemEnabled[kUpload] == 0 && itemEnabled[kCheckTables] == 0)
        return items;
    items.files = BuildDownloadFileList(firmware.programFolder, sataBin, usbBin, firmware.sataName,
                                        firmware.usbName, firmware.pagesPerBlock);
    items.message = items.files.Message;
    switch (items.files.Outcome) {
        case FirmwareListOutcome::Ready:
            break;
        case FirmwareListOutcome::StartEnds:
            items.outcome = StartOutcome::StartEnds;
            break;
        case FirmwareListOutcome::RunEnds:
            items.outcome = StartOutcome::RunEnds;
            break;
    }
    return items;
}

StartDecision ExecuteChecks(const StartCheckInput& input, std::span<PortRecord> ports,
                            StartDriveProbe& probe, const RdPageChoice& rdPage,
                            const FirmwareChoice& firmware) {
    StartDecision decision;
    if (auto message = CheckStartSetup(input, ports)) {
        decision.outcome = StartOutcome::StartEnds;
        decision.message = std::move(message);
        return decision;
    }
    DriveCheck drives = CheckStartDrives(ports, probe);
    decision.sataSpeed = drives.sataSpeed;
    if (drives.message) {
        decision.outcome = StartOutcome::StartEnds;
        decision.message = std::move(drives.message);
        return decision;
    }
    decision.modes = ChooseRunModes(rdPage);
    if (decision.modes.TableMode || decision.modes.ClaimNewMode)
        return decision;
    RunItems items =
        PrepareRunItems(input.settings->block.ItemEnabled, input.sataBin, input.usbBin, firmware);
    decision.outcome = items.outcome;
    decision.message = std::move(items.message);
    decision.files = std::move(items.files);
    return decision;
}

std::optional<OperatorMessage> CheckConnectionCount(int connected, int connectDevNum) {
    if (connected <= 0 || (connectDevNum != 0 && connectDevNum != connected))
        return Message(kConnectionCountText);
    return std::nullopt;
}

std::optional<OperatorMessage> RebuildCloseMessage(bool claimNewMode, bool rebuildClose,
                                                   std::span<const PortRecord> ports) {
    if (!claimNewMode || !rebuildClose)
        return std::nullopt;
    for (std::size_t i = 0; i < PortCount(ports.size()); ++i) {
        if (ports[i].Present == 0)
            continue;
        if (ports[i].Result != 1)
            return std::nullopt;
        return OperatorMessage{kRebuildCloseText, kMessageCaption, OperatorIcon::Information};
    }
    return std::nullopt;
}

bool DownloadOnlyRun(bool specialMode, const std::uint8_t (&itemEnabled)[kItemCount]) {
    return specialMode && itemEnabled[kPreformat] == 0 && itemEnabled[kDownload] != 0;
}

}  // namespace kv
