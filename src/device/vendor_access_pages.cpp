// The multi-channel and multi-chunk page transfers and the loader
// information read built on them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <span>

#include "device/transport.h"
#include "device/vendor_access.h"
#include "device/vendor_commands.h"

namespace kv {
namespace {

constexpr std::uint32_t kFlashDataChannelStride = 32768;
// Option bytes of the loader-information read.
constexpr std::uint8_t kLoaderInfoOption9 = 3;
constexpr std::uint8_t kLoaderInfoAccessMode = 3;
constexpr std::uint8_t kLoaderInfoDefaultLast = 4;

bool UsableGeometry(const VaFlashGeometry& g) {
    return g.Channels != 0 && g.SectorsPerPage != 0;
}

// An unset (all-zero) signature would match any cleared buffer.
bool HasSignature(const VaFlashGeometry& g) {
    return std::any_of(std::begin(g.LoaderSignature), std::end(g.LoaderSignature),
                       [](std::uint8_t b) { return b != 0; });
}

// The controller buffer's second half takes the pages of odd blocks.
std::uint32_t PlaneBase(std::uint32_t spp, bool odd) {
    return odd ? spp * 4096u : 0u;
}

bool Fits(std::size_t size, std::uint64_t offset, std::uint64_t sectors) {
    return offset <= size && sectors * kSectorSize <= size - offset;
}

}  // namespace

bool VA_ReadPages(int port, const FlashAddress& address, std::span<std::uint8_t> buffer,
                  bool useRdtRead) {
    const VaFlashGeometry g = VaFlashGeometryOf(port);
    if (!UsableGeometry(g)) {
        return false;
    }
    const std::uint32_t spp = g.SectorsPerPage;
    const std::uint32_t sliceBytes = spp * kSectorSize;
    const bool all = address.Channel == g.Channels;
    const int first = all ? 0 : address.Channel;
    const int last = all ? g.Channels - 1 : address.Channel;
    if (!Fits(buffer.size(), static_cast<std::uint64_t>(last) * sliceBytes, spp)) {
        return false;
    }
    const std::uint32_t base = PlaneBase(spp, (address.Block & 1) != 0);
    for (int c = first; c <= last; ++c) {
        FlashAddress a = address;
        a.Channel = static_cast<std::uint8_t>(c);
        a.BufferOffset = base + static_cast<std::uint32_t>(c) * sliceBytes;
        std::uint8_t* part = buffer.data() + static_cast<std::size_t>(c) * sliceBytes;
        const int answer = useRdtRead ? VC_FLH_ReadPageRdt(port, a, part, spp)
                                      : VC_FLH_ReadPage(port, a, part, spp);
        if (answer != kCommandOk) {
            return false;
        }
    }
    return true;
}

bool VA_ReadFlashData(int port, const FlashAddress& address, std::span<std::uint8_t> buffer,
                      std::uint32_t sectors) {
    if (!Fits(buffer.size(), 0, sectors)) {
        return false;
    }
    FlashAddress a = address;
    a.BufferOffset = static_cast<std::uint32_t>(address.Channel) * kFlashDataChannelStride;
    return VC_FLH_ReadFlashData(port, a, buffer.data(), sectors) == kCommandOk;
}

bool VA_WritePages(int port, const FlashAddress& address, std::span<const std::uint8_t> buffer,
                   std::uint32_t totalSectors) {
    const VaFlashGeometry g = VaFlashGeometryOf(port);
    if (!UsableGeometry(g)) {
        return false;
    }
    const std::uint32_t spp = g.SectorsPerPage;
    const std::uint32_t base = PlaneBase(spp, (address.Block & 1) != 0);
    std::uint32_t k = 0;
    std::uint32_t left = totalSectors;
    while (left > 0) {
        const std::uint32_t chunk = std::min(left, kMaxSectorsPerChunk);
        const std::uint32_t pages = chunk / spp;
        std::uint8_t mask = 0;
        for (std::uint32_t bit = k; bit < k + pages && bit < 8; ++bit) {
            mask = static_cast<std::uint8_t>(mask | (1u << bit));
        }
        const std::uint64_t at = static_cast<std::uint64_t>(k) * spp * kSectorSize;
        if (!Fits(buffer.size(), at, chunk)) {
            return false;
        }
        FlashAddress a = address;
        a.BufferOffset = base + static_cast<std::uint32_t>(at);
        if (VC_FLH_WritePages(port, a, mask, buffer.data() + at, chunk) != kCommandOk) {
            return false;
        }
        k += pages;
        left -= chunk;
    }
    return true;
}

bool VA_ReadSysArea(int port, std::uint8_t selector, std::uint16_t block, std::uint8_t oddPlane,
                    std::uint16_t page, std::uint8_t option9, std::uint8_t option10,
                    std::span<std::uint8_t> buffer, std::uint32_t totalSectors) {
    const VaFlashGeometry g = VaFlashGeometryOf(port);
    if (!UsableGeometry(g)) {
        return false;
    }
    const std::uint32_t spp = g.SectorsPerPage;
    // Only what the chunks fill is cleared, and only when all of it fits.
    std::uint64_t end = 0;
    {
        std::uint32_t k = 0;
        for (std::uint32_t left = totalSectors; left > 0;) {
            const std::uint32_t chunk = std::min(left, kMaxSectorsPerChunk);
            end = std::max(end, (static_cast<std::uint64_t>(k) * spp + chunk) * kSectorSize);
            k += chunk / spp;
            left -= chunk;
        }
    }
    if (end > buffer.size()) {
        return false;
    }
    std::fill_n(buffer.begin(), static_cast<std::size_t>(end), std::uint8_t{0});
    const std::uint32_t base = PlaneBase(spp, (oddPlane & 1) != 0);
    std::uint32_t k = 0;
    for (std::uint32_t left = totalSectors; left > 0;) {
        const std::uint32_t chunk = std::min(left, kMaxSectorsPerChunk);
        const std::uint32_t at = k * spp * kSectorSize;
        if (VC_GDP_ReadSysArea(port, selector, block, page, option9, option10, base + at,
                               buffer.data() + at, chunk) != kCommandOk) {
            return false;
        }
        k += chunk / spp;
        left -= chunk;
    }
    return true;
}

bool VA_ReadLoaderInfo(int port, std::span<std::uint8_t> buffer,
                       std::uint8_t (&info)[kLoaderInfoSize]) {
    const VaFlashGeometry g = VaFlashGeometryOf(port);
    if (!UsableGeometry(g) || !HasSignature(g) ||
        buffer.size() < kLoaderInfoOffset + kLoaderInfoSize) {
        return false;
    }
    // A read the drive refused can still count as carried out and leave the
    // buffer as it was: each block is judged on what this read put there.
    const std::size_t pageSet = std::min(
        buffer.size(), static_cast<std::size_t>(g.Channels) * g.SectorsPerPage * kSectorSize);
    FlashAddress address;
    address.Channel = g.Channels;  // all channels
    address.Bank = 0;
    address.Page = 0;
    address.Options[0] = kLoaderInfoOption9;
    address.Options[1] = g.AccessMode;
    address.Options[2] =
        g.AccessMode == kLoaderInfoAccessMode ? g.SectorsPerPage : kLoaderInfoDefaultLast;
    for (int block = 0; block < kLoaderInfoBlocks; ++block) {
        address.Block = static_cast<std::uint16_t>(block);
        std::fill_n(buffer.begin(), pageSet, std::uint8_t{0});
        if (VA_ReadPages(port, address, buffer, false) &&
            std::memcmp(buffer.data(), g.LoaderSignature, kLoaderSignatureSize) == 0) {
            std::memcpy(info, buffer.data() + kLoaderInfoOffset, kLoaderInfoSize);
            return true;
        }
    }
    return false;
}

}  // namespace kv
