#include "station/station.h"

#include <string>

#include "platform/paths.h"

namespace kv {

Station::Station(StationUi& ui) : ui_(ui) {}

bool Station::Start() {
    platform::InstanceLockRefusal refusal = platform::InstanceLockRefusal::kHeld;
    instanceLock_ = platform::AcquireInstanceLock(kInstanceLockName, &refusal);
    if (!instanceLock_) {
        if (refusal == platform::InstanceLockRefusal::kHeld) {
            secondInstance_ = true;  // only one station runs; the second ends silently
        } else {
            ui_.ShowMessage("The station cannot take its single-instance lock in " +
                                platform::LockFolder() + "; it does not start.",
                            "Error", MessageIcon::Error);
        }
        return false;
    }
    settings = config::Settings{};
    currentSettingsFile = platform::ResolveInFolder(platform::StationFolder(), kSettingsFileName);
    return LoadSettingsFile(currentSettingsFile);
}

void Station::Close() {
    ControlsToSettings(controls, settings);
    SaveSettingsFile(currentSettingsFile);
    if (currentSettingsFile.find(kSettingsFileName) == std::string::npos) {
        SaveSettingsFile(kSettingsFileName);
    }
    SaveYieldCounters();
}

std::string Station::DescribeSettings() const {
    std::string listing = config::DescribeSettingsKeys(settings);
    // The log folder is read apart from the other keys; it belongs to [Setting].
    const std::string header = "[Setting]\n";
    if (listing.compare(0, header.size(), header) == 0) {
        listing.insert(header.size(), "LogPath=" + logFolder + "\n");
    }
    return listing;
}

}  // namespace kv
