#include "firmware/flash_header.h"

#include <cstring>

#include "firmware/byte_layout.h"

namespace kv {
namespace {

std::uint8_t OptionBits(const FlashConfig& f) {
    const std::uint8_t* o = f.OptionFlags;
    const bool scramble = o[kOptionScramble] != 0;
    std::uint8_t bits = 0;
    for (int i = 0; i < 3; ++i) {
        if (o[i] != 0) {
            bits |= static_cast<std::uint8_t>(1u << i);
        }
    }
    if (f.Banks > 2 || (f.Banks == 2 && o[3] != 0)) {
        bits |= 0x08;
    }
    if (scramble) {
        bits |= 0x10;
    }
    if (o[kOptionRemap] != 0) {
        bits |= 0x20;
    }
    if (o[6] != 0) {
        bits |= 0x40;
    }
    if (f.SpareAttr != 0 && !scramble) {
        bits |= 0x80;
    }
    return bits;
}

std::uint8_t OptionBits2(const FlashConfig& f) {
    std::uint8_t bits = 0;
    for (int i = 0; i < 7; ++i) {
        if (f.OptionFlags[8 + i] != 0) {
            bits |= static_cast<std::uint8_t>(1u << i);
        }
    }
    return bits;
}

}  // namespace

void BuildFlashHeader(const ImageContext& ctx, const CodeBlockList& codeBlocks,
                      std::uint8_t geometryCode, std::uint8_t* header) {
    const FlashConfig& f = ctx.flash;
    std::memset(header, 0, kFlashHeaderSize);
    PutLe16(header + 0x00, f.TypeWord);
    header[0x02] = static_cast<std::uint8_t>((ctx.settings.EnLowPage != 0 ? 0x10 : 0) |
                                             (f.AltFamily != 0 ? 0x20 : 0) | f.FlashInterface);
    header[0x03] = f.Channels;
    header[0x04] = f.Banks;
    header[0x05] = f.EccMode;
    header[0x06] = f.DrvCurrent;
    header[0x07] = geometryCode;
    header[0x08] = static_cast<std::uint8_t>(f.ResPercentage & 0xFF);
    header[0x09] = OptionBits(f);
    header[0x0A] = OptionBits2(f);
    header[0x0B] = f.CeCount;
    header[0x0C] = f.FeatureFlags2;
    header[0x0D] = f.FeatureFlags3;
    for (int i = 0; i < kMaxCodeBlocks; ++i) {
        PutLe16(header + 0x10 + 2 * i, codeBlocks.Blocks[i]);
    }
    PutLe16(header + 0x18, 64);
    header[0x1A] = static_cast<std::uint8_t>((f.ResPercentage >> 8) & 0xFF);
}

}  // namespace kv
