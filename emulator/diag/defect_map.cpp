#include "emulator/diag/defect_map.h"

namespace kv::emu {

DefectMap::DefectMap(int channels, int banks)
    : channels_(channels < 0 ? 0 : channels),
      banks_(banks < 0 ? 0 : banks),
      lists_(static_cast<std::size_t>(channels_ * banks_)) {}

void DefectMap::Add(int channel, int bank, int block, DefectKind kind) {
    if (channel < 0 || channel >= channels_ || bank < 0 || bank >= banks_ || block < 0) {
        return;
    }
    auto& list = lists_[static_cast<std::size_t>(channel * banks_ + bank)];
    const auto [it, added] = list.emplace(block, kind);
    if (!added && it->second != DefectKind::Factory) {
        it->second = kind;
    }
}

bool DefectMap::Has(int channel, int bank, int block) const {
    if (channel < 0 || channel >= channels_ || bank < 0 || bank >= banks_) {
        return false;
    }
    return At(channel, bank).count(block) != 0;
}

const std::map<int, DefectKind>& DefectMap::At(int channel, int bank) const {
    return lists_[static_cast<std::size_t>(channel * banks_ + bank)];
}

int DefectMap::CountIn(int channel, int bank, int first, int count) const {
    const auto& list = At(channel, bank);
    int n = 0;
    for (auto it = list.lower_bound(first); it != list.end() && it->first < first + count; ++it) {
        ++n;
    }
    return n;
}

int DefectMap::CountInPlane(int channel, int bank, int first, int count, int plane) const {
    const auto& list = At(channel, bank);
    int n = 0;
    for (auto it = list.lower_bound(first); it != list.end() && it->first < first + count; ++it) {
        n += (it->first & 1) == plane ? 1 : 0;
    }
    return n;
}

std::size_t DefectMap::Total() const {
    std::size_t n = 0;
    for (const auto& list : lists_) {
        n += list.size();
    }
    return n;
}

}  // namespace kv::emu
