// The interface tests run with the test program: the controller's buffer
// test and the flash-interface diagnostics.
#include <algorithm>
#include <random>

#include "device/vendor_access.h"
#include "device/vendor_commands.h"
#include "flash/flash_scan.h"
#include "platform/platform.h"

namespace kv {
namespace {

constexpr std::uint16_t kFixedDiagnosticParameter = 602;
constexpr std::uint8_t kDiagnosticFirst = 1;
constexpr std::uint8_t kDiagnosticSecond = 2;
constexpr std::uint8_t kDiagnosticRandom = 3;
constexpr std::uint32_t kRandomSpan = 1536;
constexpr std::uint16_t kRandomLowest = 256;

bool AllDistinct(const DiagnosticValues& values) {
    DiagnosticValues sorted = values;
    std::sort(sorted.begin(), sorted.end());
    return std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
}

std::uint32_t TimeSeed(int port) {
    const platform::LocalTime t = platform::Current().Now();
    const auto ms = static_cast<std::uint64_t>(platform::Current().portClock(port).NowMs());
    return static_cast<std::uint32_t>(ms ^ (static_cast<std::uint64_t>(t.second) << 16) ^
                                      static_cast<std::uint64_t>(t.millisecond) ^
                                      static_cast<std::uint64_t>(t.minute) << 24);
}

}  // namespace

bool BusInterfaceTest(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx) {
    if (workBuffer.size() < kBufferTestBytes) {
        return false;
    }
    return RunTestProgram(port, ctx) && VA_BufferTest(port, workBuffer, 0) &&
           VA_BufferTest(port, workBuffer, 1);
}

DiagnosticValues DrawDiagnosticValues(std::uint32_t seed) {
    std::mt19937 random(seed);
    DiagnosticValues values{};
    do {
        for (std::uint16_t& v : values) {
            v = static_cast<std::uint16_t>(random() % kRandomSpan + kRandomLowest);
        }
    } while (!AllDistinct(values));
    return values;
}

bool FlashInterfaceTest(int port, std::span<std::uint8_t> workBuffer, const ProcedureContext& ctx,
                        std::uint8_t& failByte, std::uint8_t& diagResult) {
    failByte = 0;
    if (workBuffer.size() < kScanReportSize || !RunTestProgram(port, ctx)) {
        return false;
    }
    if (!VA_FlashDiagnostic(port, kDiagnosticFirst, kFixedDiagnosticParameter, diagResult)) {
        failByte = kFlashIfFirstFailed;
    } else if (!VA_FlashDiagnostic(port, kDiagnosticSecond, kFixedDiagnosticParameter,
                                   diagResult)) {
        failByte = kFlashIfSecondFailed;
    } else {
        const DiagnosticValues values = DrawDiagnosticValues(TimeSeed(port));
        const bool passed = std::any_of(values.begin(), values.end(), [&](std::uint16_t v) {
            return VA_FlashDiagnostic(port, kDiagnosticRandom, v, diagResult);
        });
        if (!passed) {
            failByte = kFlashIfRandomFailed;
        }
    }
    if (failByte == 0) {
        return true;
    }
    // A log that cannot be read decodes as empty.
    std::fill_n(workBuffer.data(), kScanReportSize, std::uint8_t{0xFF});
    VC_TST_GetDiagLog(port, workBuffer.data(), 1);
    return false;
}

}  // namespace kv
