// The flash geometry the page loops of the vendor access layer work with:
// the channel count, the sectors per page, the access-mode byte and the
// loader-block signature of the flash configuration the port's procedures
// use. Kept per port, because a worker may adopt the configuration it read
// from its own drive; the procedures set it from their configuration before
// their first page transfer (and discovery before `EnterVendorMode`).
#pragma once

#include <cstddef>
#include <cstdint>

namespace kv {

inline constexpr std::size_t kLoaderSignatureSize = 16;

struct VaFlashGeometry {
    std::uint8_t Channels = 0;        // 1..8; 0 = not set (page loops fail, nothing sent)
    std::uint8_t SectorsPerPage = 0;  // spp; 0 = not set
    // The access-mode byte: option byte 10 of the loader-information read,
    // and with value 3 its last option byte becomes spp instead of 4.
    std::uint8_t AccessMode = 0;
    // The first 16 bytes of page 0 of a code block that holds the loader.
    std::uint8_t LoaderSignature[kLoaderSignatureSize] = {};
};

// Sets the geometry of one port (indexes outside 0..49 are ignored) or of all.
void SetVaFlashGeometry(int port, const VaFlashGeometry& geometry);
void SetVaFlashGeometryAll(const VaFlashGeometry& geometry);
// The port's geometry; all zero for a port never set or outside 0..49.
VaFlashGeometry VaFlashGeometryOf(int port);

}  // namespace kv
