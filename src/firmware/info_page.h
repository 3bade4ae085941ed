// The info page, page 0 of every code block: the loader block list, the
// loader configuration with the table generation, the firmware file table,
// the part number, the system page list and the register map. One page is
// built and copied to every channel slice; slice c carries c at 0x018.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "firmware/firmware_page_layout.h"
#include "firmware/image_context.h"

namespace kv {

inline constexpr char kInfoPageVersionText[] = "51X V2 ";
inline constexpr std::uint16_t kCodeBlockFlags = 7;
inline constexpr std::uint32_t kFirmwareTableOffset = 560;
inline constexpr std::uint32_t kSystemPageListOffset = 640;
inline constexpr std::uint32_t kRegisterMapOffset = 736;
inline constexpr std::size_t kInfoPageBlockNumberOffset = 0x01D;

// Loader block signatures of a controller model, as a running drive's header
// names it: "512", "511" and "518" use V40; "517", "415", "417" (and any other
// model) V50, which is also what the station always writes.
inline constexpr char kLoaderBlocksSignatureV40[] = "LDBK BLOCKS V40";
inline constexpr char kLoaderConfigSignatureV40[] = "LDBK CONFIG V40";
struct LoaderSignatures {
    const char* Blocks = nullptr;
    const char* Config = nullptr;
};
LoaderSignatures LoaderSignaturesForModel(std::string_view modelCode);

// One row of a register map: four consecutive register addresses from `Base`
// and their byte values.
struct RegisterGroup {
    std::uint32_t Base = 0;
    std::uint8_t Values[4] = {};
};

// The 12-register default map, or the 48-register interface map when
// "EnRegMap" is 1 and the flash interface is 1 or 3.
std::span<const RegisterGroup> RegisterMapFor(const FlashConfig& flash,
                                              const SettingsBlock& settings);

// Fills `pageSet` (channels x page bytes) with the info page of every channel.
// Byte 0x01D stays 0; the writer sets it per code block
// (`SetInfoPageBlockNumber`). False when the page set is too small.
bool BuildInfoPage(const ImageContext& ctx, const CodeBlockList& codeBlocks,
                   const FirmwarePageLayout& layout, std::uint16_t generation,
                   std::span<std::uint8_t> pageSet);

// Byte 0x01D of the first slice: the low byte of the code block written.
void SetInfoPageBlockNumber(std::span<std::uint8_t> pageSet, std::uint16_t block);

}  // namespace kv
