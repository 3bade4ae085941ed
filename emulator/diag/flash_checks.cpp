#include "emulator/diag/flash_checks.h"

#include <map>

namespace kv::emu {
namespace {

// A finding about one die of one chip enable, with the count that broke its limit.
ReportRecord UnitRecord(Finding code, int channel, int bank, int die, int count) {
    ReportRecord r;
    r.code = code;
    r.channel = static_cast<std::uint8_t>(channel);
    r.bank = static_cast<std::uint8_t>(bank);
    r.die = static_cast<std::uint8_t>(die);
    r.value = static_cast<std::uint16_t>(count);
    return r;
}

}  // namespace

bool CheckFlashCounts(DiagSession& session) {
    const FlashView& v = session.view;
    if (v.Matches()) {
        return true;
    }
    ReportRecord setting;
    setting.code = Finding::SettingCounts;
    setting.channel = static_cast<std::uint8_t>(v.headerChannels);
    setting.bank = static_cast<std::uint8_t>(v.headerBanks);
    session.report.Add(setting);
    ReportRecord seen;
    seen.code = Finding::SeenCounts;
    seen.channel = static_cast<std::uint8_t>(v.channelsSeen);
    seen.bank = static_cast<std::uint8_t>(v.banksSeen);
    session.report.Add(seen);
    return false;
}

bool CheckFlashIds(DiagSession& session) {
    const FlashView& v = session.view;
    using Id = std::array<std::uint8_t, 5>;
    std::map<Id, int> votes;
    std::vector<std::pair<std::pair<int, int>, Id>> read;
    for (int b = 0; b < v.banks(); ++b) {
        for (int c = 0; c < v.channels(); ++c) {
            const Id id = ReadFlashId(session.profile, session.nand, c, v.chipEnable(b));
            ++votes[id];
            read.push_back({{c, b}, id});
        }
    }
    if (votes.size() <= 1) {
        return true;
    }
    // The ID most chip enables answered is taken for the module's; the first
    // one read wins a tie.
    Id common = read.front().second;
    for (const auto& entry : read) {
        if (votes[entry.second] > votes[common]) {
            common = entry.second;
        }
    }
    ReportRecord setting;
    setting.code = Finding::SettingId;
    setting.id = common;
    session.report.Add(setting);
    for (const auto& [where, id] : read) {
        if (id == common) {
            continue;
        }
        ReportRecord r;
        r.code = Finding::SeenId;
        r.channel = static_cast<std::uint8_t>(where.first);
        r.bank = static_cast<std::uint8_t>(where.second);
        r.id = id;
        session.report.Add(r);
    }
    return false;
}

bool CheckBadBlockLimits(DiagSession& session, const DefectMap& defects) {
    const FlashView& v = session.view;
    const int perPlane = v.blocksPerPlaneDie();
    const int perDie = v.blocksPerDie();
    if (perPlane <= 0) {
        return false;
    }
    const std::int64_t reserved =
        static_cast<std::int64_t>(session.settings.reservedPerMille) * perPlane / 1000 + 1;
    if (reserved * 2 > perPlane) {
        ReportRecord r;
        r.code = Finding::FreeBlocksTooLarge;
        session.report.Add(r);
        return false;
    }
    bool ok = true;
    for (int c = 0; c < v.channels(); ++c) {
        for (int b = 0; b < v.banks(); ++b) {
            for (int d = 0; d < v.dies; ++d) {
                // The last die also holds the extended blocks beyond the dies.
                const int first = d * perDie;
                const int count = d == v.dies - 1 ? v.blocks() - first : perDie;
                const int bad = defects.CountIn(c, b, first, count);
                if (static_cast<std::int64_t>(bad) * 1000 / perPlane >
                    session.settings.defectPerMille) {
                    ok = false;
                    session.report.Add(UnitRecord(Finding::OverDefectRatio, c, b, d, bad));
                }
                for (int plane = 0; plane < 2; ++plane) {
                    const int inPlane = defects.CountInPlane(c, b, first, count, plane);
                    if (inPlane > reserved - 25) {
                        ok = false;
                        session.report.Add(UnitRecord(Finding::OverFreeBlocks, c, b, d, inPlane));
                    }
                }
            }
        }
    }
    return ok;
}

}  // namespace kv::emu
