#include "emulator/diag/result_report.h"

#include <algorithm>

namespace kv::emu {

void ResultReport::Clear() {
    bytes_.fill(0);
    used_ = 1;
}

bool ResultReport::Add(const ReportRecord& record) {
    const bool wide = record.code == Finding::SettingCounts || record.code == Finding::SettingId;
    const std::size_t size = wide ? 17 : 16;
    if (bytes_[0] == 0xFF || used_ + size > kBytes) {
        return false;
    }
    std::uint8_t* r = bytes_.data() + used_;
    r[0] = static_cast<std::uint8_t>(record.code);
    r[1] = record.channel;
    r[2] = record.bank;
    r[3] = record.die;
    r[4] = static_cast<std::uint8_t>(record.value);
    r[5] = static_cast<std::uint8_t>(record.value >> 8);
    r[6] = record.page;
    r[8] = record.error;
    std::copy(record.id.begin(), record.id.end(), r + 10);
    used_ += size;
    ++bytes_[0];
    return true;
}

}  // namespace kv::emu
