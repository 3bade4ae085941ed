#include "run/reuse_serials.h"

#include <algorithm>
#include <cstring>

#include "run/test_item_catalogue.h"

namespace kv {
namespace {

constexpr std::size_t kEntrySize = sizeof(ReuseSnList{}.Numbers[0]);

// A number that does not fit an entry is not reused: a cut one would be
// another number.
void Put(ReuseSnList& list, const char* text, std::size_t length) {
    if (length >= kEntrySize)
        return;
    char* entry = list.Numbers[list.Count];
    std::memset(entry, 0, kEntrySize);
    std::memcpy(entry, text, length);
    ++list.Count;
}

}  // namespace

void RebuildReuseSnList(std::span<const PortRecord> ports, ReuseSnList& list) {
    const ReuseSnList old = list;
    list = ReuseSnList{};
    const std::size_t count = std::min<std::size_t>(ports.size(), kMaxPorts);
    for (std::size_t i = 0; i < count && list.Count < kMaxPorts; ++i) {
        const PortRecord& port = ports[i];
        if (port.Present != 0 && port.ItemStatus[kDownload] == kItemFailed)
            Put(list, port.SerialNumber, strnlen(port.SerialNumber, sizeof port.SerialNumber));
    }
    const int oldCount = std::clamp(old.Count, 0, kMaxPorts);
    for (int k = std::max(old.NextIndex, 0); k < oldCount && list.Count < kMaxPorts; ++k)
        Put(list, old.Numbers[k], strnlen(old.Numbers[k], kEntrySize));
}

}  // namespace kv
