#include "firmware/defect_table.h"

#include <algorithm>
#include <fstream>

#include "firmware/table_signatures.h"

namespace kv {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

char DigitOf(int value) {
    return kDigits[value & 0x0F];
}

void AppendHex4(std::string& text, std::uint16_t value) {
    for (int shift = 12; shift >= 0; shift -= 4) {
        text.push_back(DigitOf(value >> shift));
    }
}

}  // namespace

DefectTableGeometry DefectTableGeometryOf(const FlashConfig& flash) {
    DefectTableGeometry g;
    g.Channels = flash.Channels;
    g.Banks = flash.Banks;
    g.Dies = flash.Dies;
    // The block address space of a chip enable, as the geometry code counts it.
    std::uint32_t blocks = flash.BlocksPerCe;
    if (flash.ExtendBlocks != 0) {
        blocks *= 2;
    }
    blocks = std::max<std::uint32_t>(blocks,
                                     static_cast<std::uint32_t>(flash.DieOffset) * 2u * flash.Dies);
    g.Blocks = std::min<std::uint32_t>(blocks, 0x10000);
    g.PageBytes = static_cast<std::size_t>(flash.SectorsPerPage) * 512;
    return g;
}

bool IsVersionedTableFormat(int formatCode) {
    return formatCode == 11 || formatCode == 12 || formatCode == 20 || formatCode == 21 ||
           formatCode == 30;
}

std::string DefectTableToText(std::span<const std::uint8_t> pageSet,
                              const DefectTableGeometry& geometry, int formatCode) {
    std::string text;
    if (IsVersionedTableFormat(formatCode)) {
        text += "V#" + std::to_string(formatCode);
    }
    text += "V#10\r\n";
    if (geometry.PageBytes < kTableSignatureSize) {
        return text;
    }
    const std::size_t slices =
        std::min<std::size_t>(pageSet.size() / geometry.PageBytes,
                              static_cast<std::size_t>(std::max(geometry.Channels, 0)));
    for (std::size_t c = 0; c < slices; ++c) {
        const std::uint8_t* slice = pageSet.data() + c * geometry.PageBytes;
        if (slice[0] != 0xE9) {
            continue;
        }
        text += "C#0";
        text += std::to_string(c);
        for (std::size_t at = kTableSignatureSize; at + kDefectEntrySize <= geometry.PageBytes;
             at += kDefectEntrySize) {
            const std::uint8_t* e = slice + at;
            if (e[0] == kDefectEndMarker[0] && e[1] == kDefectEndMarker[1]) {
                break;
            }
            if (e[0] == kDefectBankMarker[0] && e[1] == kDefectBankMarker[1]) {
                text += "\r\nB#0" + std::to_string(e[2]);
                continue;
            }
            text += "U#";
            AppendHex4(text, static_cast<std::uint16_t>(e[0] | (e[1] << 8)));
            text.push_back(',');
            text.push_back(DigitOf(e[2] >> 4));
            text.push_back(DigitOf(e[2]));
            text.push_back(',');
            text.push_back(e[3] > 7 ? '9' : DigitOf(e[3]));
        }
        text += "\r\n";
    }
    return text;
}

bool DefectTableToTextFile(std::span<const std::uint8_t> pageSet,
                           const DefectTableGeometry& geometry, const std::string& path,
                           int formatCode) {
    if (path.empty()) {
        return false;
    }
    const std::string text = DefectTableToText(pageSet, geometry, formatCode);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        return false;
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return !out.fail();
}

}  // namespace kv
