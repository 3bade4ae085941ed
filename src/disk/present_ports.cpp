#include "disk/present_ports.h"

#include <algorithm>
#include <atomic>

namespace kv::disk {

namespace {
std::atomic<int> presentPorts{1};
constexpr int kAttemptsPerPort = 5;
constexpr int kMaxPortCount = 50;
}  // namespace

void SetPresentPortCount(int count) {
    presentPorts.store(std::clamp(count, 1, kMaxPortCount));
}

int PresentPortCount() {
    return presentPorts.load();
}

int FormatOpenAttempts() {
    return kAttemptsPerPort * PresentPortCount();
}

}  // namespace kv::disk
