#include "device/safe_removal.h"

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "device/enum_usb_device.h"
#include "platform/platform.h"

namespace kv {
namespace {

bool Gone(platform::ConfigResult result, const platform::Veto& veto) {
    return result == platform::ConfigResult::Success && veto.type == platform::kVetoNone &&
           veto.name.empty();
}

// One removal thread and the flag it raises when it ends.
struct Removal {
    std::atomic<bool> active{true};
    std::thread thread;
};

}  // namespace

bool RemoveDeviceThread(platform::Discovery& discovery, platform::DevNode node) {
    platform::Clock& clock = platform::Current().clock();
    for (int attempt = 1; attempt <= kRemovalAttempts; ++attempt) {
        platform::Veto veto;
        platform::ConfigResult result = discovery.QueryAndRemoveSubTree(node, veto);
        if (result != platform::ConfigResult::Success) {
            veto = platform::Veto{};
            result = discovery.RequestDeviceEject(node, veto);
        }
        if (Gone(result, veto)) {
            return true;
        }
        clock.SleepMs(kRemovalRetryWaitMs);
        platform::Veto ignored;
        discovery.RequestDeviceEject(node, ignored);
    }
    return false;
}

SafeRemoveOutcome SafeRmBtnClick(DiscoverySession& session) {
    if (session.lastPresent <= 0) {
        return SafeRemoveOutcome::NothingToRemove;
    }
    DiscoveryWindow& window = session.window;
    window.SetSafeRemoveColour(SafeRemoveColour::Red);
    platform::Discovery* discovery = platform::Current().discovery();
    std::vector<std::unique_ptr<Removal>> removals;
    if (discovery != nullptr) {
        for (int i = 0; i < session.portCount(); ++i) {
            if (static_cast<int>(removals.size()) >= session.lastPresent) {
                break;
            }
            if (session.ports[i].Present == 0) {
                continue;
            }
            auto removal = std::make_unique<Removal>();
            Removal* r = removal.get();
            const platform::DevNode node = session.ports[i].UsbDevInst;
            r->thread = std::thread([discovery, node, r] {
                RemoveDeviceThread(*discovery, node);
                r->active = false;
            });
            removals.push_back(std::move(removal));
        }
    }
    // The wait covers exactly the removal threads.
    platform::Clock& clock = platform::Current().clock();
    bool anyActive = true;
    while (anyActive) {
        anyActive = false;
        for (const std::unique_ptr<Removal>& r : removals) {
            if (r->active) {
                anyActive = true;
                clock.SleepMs(kRemovalPollWaitMs);
            }
            window.Pump();
        }
        if (anyActive) {
            std::this_thread::yield();
        }
    }
    for (const std::unique_ptr<Removal>& r : removals) {
        r->thread.join();
    }
    EnumUSBDevice(session);
    for (int i = 0; i < session.portCount(); ++i) {
        if (session.ports[i].Present != 0) {
            window.ShowWarning(kRemovalWarningText, kRemovalWarningCaption);
            return SafeRemoveOutcome::SomeRemain;
        }
    }
    return SafeRemoveOutcome::AllRemoved;
}

}  // namespace kv
