#include "device/enum_usb_device.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include "device/debug_log.h"
#include "device/discovery_matching.h"
#include "device/loader_mode.h"
#include "device/port_device.h"
#include "device/vendor_access.h"
#include "platform/named_mutex.h"
#include "platform/platform.h"

namespace kv {
namespace {

constexpr std::int64_t kPumpStepMs = 100;

// The re-scan and the panel refresh share this mutex; it is re-entrant, so
// the redraw inside the re-scan takes it again.
platform::NamedMutex& RescanMutex() {
    static platform::NamedMutex mutex("KVMPAcess");
    return mutex;
}

void KeepDriveAreas(DiscoverySession& session, int port) {
    const SettingsBlock& block = session.settings.block;
    if (block.EnKeepEraseCount == 0 && block.EnKeepSmartInfo == 0) {
        return;
    }
    if (IsLoaderMode(port)) {
        return;
    }
    const std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kLoaderScratchSize]());
    // Each capture records its outcome in the port's save areas itself.
    if (block.EnKeepEraseCount != 0) {
        ReadEraseCount(port, buffer.get());
    }
    if (block.EnKeepSmartInfo != 0) {
        ReadSmartInfo(port, buffer.get());
    }
}

}  // namespace

bool EnumUSBDevice(DiscoverySession& session) {
    DiscoveryWindow& window = session.window;
    const SettingsBlock& block = session.settings.block;
    if (block.BarCodeInputMode == 0 && window.InputPromptOpen()) {
        return false;
    }
    std::lock_guard<platform::NamedMutex> hold(RescanMutex());
    window.SetStartEnabled(false);
    OutputDbgMsg("EnumUSBDevice 1 \r\n");

    ScanPorts(platform::Current().discovery(), session.scan);
    for (int i = 0; i < session.portCount(); ++i) {
        PortRecord& live = session.ports[i];
        const PortRecord& scanned = session.scan.ScannedPorts[i];
        if (scanned.Attached != 0) {
            live.Attached = scanned.Attached;
            std::memcpy(live.DeviceKey, scanned.DeviceKey, sizeof live.DeviceKey);
            live.DeviceKey[sizeof live.DeviceKey - 1] = '\0';
            live.Present = 0;
        } else {
            live = PortRecord{};
            // The port's device entry goes with the drive, so nothing is sent
            // to a path that now names no drive.
            PortDeviceTable().Clear(i);
            window.BlankPortPanel(i);
        }
    }

    window.SetSafeRemoveColour(SafeRemoveColour::Normal);
    const int present = MatchPortsToDisks(session);
    session.lastPresent = present;

    for (int i = 0; i < session.portCount(); ++i) {
        if (session.ports[i].Present != 0) {
            KeepDriveAreas(session, i);
        }
    }
    window.AskRefreshInputs(session.portCount());
    window.RedrawPanels(session.portCount());

    if (present > 0) {
        OutputDbgMsg("EnumUSBDevice 4 \r\n");
        if (window.ReadyToStart() && (block.ConnectDevNum == 0 || block.ConnectDevNum == present)) {
            window.SetStartEnabled(true);
        }
        OutputDbgMsg("EnumUSBDevice 5 \r\n");
    } else {
        window.SetSafeRemoveColour(SafeRemoveColour::Green);
        window.SetStartEnabled(false);
    }
    return true;
}

bool ResetAndRescan(DiscoverySession& session) {
    for (int i = 0; i < session.portCount(); ++i) {
        if (session.ports[i].Present == 0) {
            continue;
        }
        VA_SetVendorFeature(i, true);
        if (!IsLoaderMode(i)) {
            VA_EnableVendorCmd(i, kRescanVendorMode);
        }
    }
    std::lock_guard<platform::NamedMutex> hold(RescanMutex());
    platform::Clock& clock = platform::Current().clock();
    for (int attempt = 1; attempt <= kRescanAttempts; ++attempt) {
        if (MatchPortsToDisks(session) == session.lastPresent) {
            return true;
        }
        if (attempt < kRescanAttempts) {
            // The wait is cut into short steps so that the window stays alive.
            for (std::int64_t waited = 0; waited < kRescanWaitMs; waited += kPumpStepMs) {
                session.window.Pump();
                clock.SleepMs(std::min(kPumpStepMs, kRescanWaitMs - waited));
            }
        }
    }
    return false;
}

}  // namespace kv
