// The flash module test: every chip enable's ID against the chosen part,
// then the channel and bank counts the running program sees.
#include <algorithm>
#include <cstring>

#include "device/vendor_access_wait.h"
#include "device/vendor_commands.h"
#include "flash/flash_scan.h"

namespace kv {
namespace {

constexpr int kIdBytes = 5;
constexpr std::size_t kIdOffsetInRecord = 10;
constexpr std::int64_t kSettleMs = 1000;

// True when every ID byte the mask selects (bit k = byte k) equals the part's.
bool IdMatches(const std::uint8_t* read, const std::uint8_t* expected, std::uint8_t mask) {
    for (int k = 0; k < kIdBytes; ++k) {
        if ((mask & (1u << k)) != 0 && read[k] != expected[k]) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool FlashModuleTest(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx) {
    if (workBuffer.size() < kScanReportSize) {
        return false;
    }
    std::uint8_t execFlags = 0;
    if (!RunGdpProgram(port, ctx, execFlags)) {
        return false;
    }
    std::uint8_t* report = workBuffer.data();
    std::fill_n(report, kScanReportSize, std::uint8_t{0});
    report[0] = 1;
    report[1] = kModuleChecking;
    std::size_t slot = kModuleFirstRecord;

    const FlashConfig& f = ctx.flash;
    const int banks = std::min<int>(f.Banks, 8);
    for (int b = 0; b < banks; ++b) {
        for (int c = 0; c < f.Channels; ++c) {
            if (slot + kModuleRecordSize > kScanReportSize) {
                break;  // the report holds no more findings
            }
            std::uint8_t answer[512] = {};
            const bool read = VC_FLH_ReadId(port, static_cast<std::uint8_t>(c), f.FwBankSet[b],
                                            answer, 1) == kCommandOk;
            std::uint8_t* id = report + slot + kIdOffsetInRecord;
            if (!read) {
                std::fill_n(answer, kIdBytes, std::uint8_t{0});
            }
            std::memcpy(id, answer, kIdBytes);
            if (read && IdMatches(id, f.FlashId, ctx.settings.CheckFlashMask)) {
                continue;
            }
            ++report[0];
            report[slot] = kModuleIdMismatch;
            report[slot + 1] = static_cast<std::uint8_t>(c);
            report[slot + 2] = static_cast<std::uint8_t>(b);
            slot += kModuleRecordSize;
        }
    }
    PortWait(port, kSettleMs);

    if (report[0] != 1) {
        return false;
    }
    report[1] = kModuleAllMatch;
    std::uint8_t info[512] = {};
    if (VC_GDP_GetFlashInfo(port, info, 1) != kCommandOk) {
        return false;
    }
    static_assert(kModuleFlashInfo + sizeof info <= kScanReportSize);
    std::memcpy(report + kModuleFlashInfo, info, sizeof info);
    if (info[7] == f.Channels && info[8] == f.Banks) {
        return true;
    }
    // The finding carries the counts the controller sees, so that its decoded
    // line names them.
    ++report[0];
    report[slot] = kModuleCountMismatch;
    report[slot + 1] = info[7];
    report[slot + 2] = info[8];
    return false;
}

}  // namespace kv
