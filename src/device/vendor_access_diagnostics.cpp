// The test program's flash diagnostic and the controller buffer test.
#include <algorithm>
#include <cstdint>
#include <span>

#include "device/debug_log.h"
#include "device/vendor_access.h"
#include "device/vendor_commands.h"

namespace kv {
namespace {

constexpr std::uint8_t kDiagnosticPassed = 0xFF;
constexpr std::size_t kBufferTestWords = kBufferTestBytes / 2;
constexpr std::uint16_t kFirstSeed = 4096;
constexpr std::uint16_t kSeedStep = 11;

std::uint16_t PatternWord(std::uint16_t seed, std::size_t i) {
    return static_cast<std::uint16_t>(seed + i);
}

}  // namespace

bool VA_FlashDiagnostic(int port, std::uint8_t kind, std::uint16_t parameter,
                        std::uint8_t& result) {
    if (VC_TST_FlashDiagnostic(port, kind, parameter, result) == kCommandOk &&
        result == kDiagnosticPassed) {
        return true;
    }
    OutputDbgMsg("FAILED(VA_FlashDiagnostic)\r\n");
    return false;
}

bool VA_TestWriteBuffer(int port, std::span<std::uint8_t> buffer, std::uint8_t bufferIndex,
                        std::uint16_t seed) {
    if (buffer.size() < kBufferTestBytes) {
        OutputDbgMsg("FAILED(VC_TST_WriteBuffer)\r\n");
        return false;
    }
    for (std::size_t i = 0; i < kBufferTestWords; ++i) {
        const std::uint16_t word = PatternWord(seed, i);
        buffer[2 * i] = static_cast<std::uint8_t>(word);
        buffer[2 * i + 1] = static_cast<std::uint8_t>(word >> 8);
    }
    if (VC_TST_WriteBuffer(port, bufferIndex, kBufferTestAddress, buffer.data(),
                           kBufferTestSectors) != kCommandOk) {
        OutputDbgMsg("FAILED(VC_TST_WriteBuffer)\r\n");
        return false;
    }
    return true;
}

bool VA_TestReadBuffer(int port, std::span<std::uint8_t> buffer, std::uint8_t bufferIndex,
                       std::uint16_t seed) {
    if (buffer.size() < kBufferTestBytes) {
        return false;
    }
    std::fill_n(buffer.begin(), kBufferTestBytes, std::uint8_t{0});
    if (VC_TST_ReadBuffer(port, bufferIndex, kBufferTestAddress, buffer.data(),
                          kBufferTestSectors) != kCommandOk) {
        return false;
    }
    for (std::size_t i = 0; i < kBufferTestWords; ++i) {
        const std::uint16_t word =
            static_cast<std::uint16_t>(buffer[2 * i] | (buffer[2 * i + 1] << 8));
        if (word != PatternWord(seed, i)) {
            return false;
        }
    }
    return true;
}

bool VA_BufferTest(int port, std::span<std::uint8_t> buffer, std::uint8_t bufferIndex) {
    for (int pass = 0; pass < kBufferTestPasses; ++pass) {
        const auto seed = static_cast<std::uint16_t>(kFirstSeed + pass * kSeedStep);
        if (!VA_TestWriteBuffer(port, buffer, bufferIndex, seed) ||
            !VA_TestReadBuffer(port, buffer, bufferIndex, seed)) {
            return false;
        }
    }
    return true;
}

}  // namespace kv
