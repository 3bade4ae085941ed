#include "disk/zero_sectors.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

#include "device/debug_log.h"
#include "device/transport.h"
#include "disk/format_output.h"

namespace kv::disk {

bool ZeroSectors(const std::string& path, std::uint32_t lba, std::uint32_t bytesPerSector,
                 std::uint32_t count) {
    if (bytesPerSector == 0) {
        CurrentFormatOutput().ZeroDivisor("zero_sectors_LBA");
        return false;
    }
    if (static_cast<std::uint64_t>(lba) + count > 0x100000000ull) {
        return false;
    }
    const std::size_t pieceBytes = static_cast<std::size_t>(kZeroPieceSectors) * bytesPerSector;
    // One zero piece to write, one to read back into.
    std::unique_ptr<std::uint8_t[]> zeros(new std::uint8_t[pieceBytes]());
    std::unique_ptr<std::uint8_t[]> readBack(new std::uint8_t[pieceBytes]);

    const auto start = std::chrono::steady_clock::now();
    std::uint64_t written = 0;
    std::uint32_t done = 0;
    while (done < count) {
        const std::uint32_t sectors = std::min(kZeroPieceSectors, count - done);
        const std::uint32_t bytes = sectors * bytesPerSector;
        const std::uint32_t at = lba + done;
        if (WriteSectorsByPath(path, zeros.get(), at, bytes) != 1) {
            DbgTrace("Failed to write");
            return false;
        }
        if (ReadSectorsByPath(path, readBack.get(), at, bytes) != 1) {
            DbgTrace("Failed to read");
            return false;
        }
        if (std::memcmp(readBack.get(), zeros.get(), bytes) != 0) {
            return false;
        }
        written += bytes;
        done += sectors;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double rate = seconds > 0 ? static_cast<double>(written) / seconds : 0.0;
    CurrentFormatOutput().Console(FormatText("Wrote %lld bytes in %g seconds, %f bytes/sec\n",
                                             static_cast<long long>(written), seconds, rate));
    return true;
}

}  // namespace kv::disk
