#include "firmware/identify_patch.h"

#include <cstring>

#include "device/debug_log.h"
#include "firmware/byte_layout.h"

namespace kv {
namespace {

// The digit rule of WWN and OUI texts: hexadecimal digits give their value,
// any other character c gives (c - 48) mod 256; a nibble keeps the low four bits.
std::uint8_t Nibble(char c) {
    int value = 0;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else {
        value = (static_cast<unsigned char>(c) - 48) & 0xFF;
    }
    return static_cast<std::uint8_t>(value & 0x0F);
}

char At(std::string_view text, std::size_t i) {
    return i < text.size() ? text[i] : '0';
}

std::uint8_t Pair(char high, char low) {
    return static_cast<std::uint8_t>((Nibble(high) << 4) | Nibble(low));
}

template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
    return std::string_view(field, ::strnlen(field, N));
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// An operator-defined identify entry: "Z" and four hexadecimal digits. The
// number is formed by the leading hexadecimal digits of characters 1..4.
bool MarkedWord(const char* entry, std::size_t size, std::uint16_t& word) {
    if (size < 1 || entry[0] != 'Z') {
        return false;
    }
    std::uint32_t value = 0;
    for (std::size_t i = 1; i < 5 && i < size; ++i) {
        const int digit = HexValue(entry[i]);
        if (digit < 0) {
            break;
        }
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    word = static_cast<std::uint16_t>(value & 0xFFFF);
    return true;
}

}  // namespace

void PutAtaString(std::uint8_t* field, std::size_t size, std::string_view text) {
    std::memset(field, ' ', size);
    const std::size_t n = text.size() < size ? text.size() : size;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t at = (i % 2 == 0) ? i + 1 : i - 1;
        if (at < size) {
            field[at] = static_cast<std::uint8_t>(text[i]);
        }
    }
}

std::string AtaStringText(const std::uint8_t* field, std::size_t size) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t from = (i % 2 == 0) ? i + 1 : i - 1;
        const char c = from < size ? static_cast<char>(field[from]) : '\0';
        if (c == '\0') {
            break;
        }
        text.push_back(c);
    }
    return text;
}

void BuildWwnBytes(std::string_view t, std::string_view o, std::uint8_t* b) {
    if (t.size() == 9) {
        b[0] = Pair(At(o, 1), At(o, 2));
        b[1] = static_cast<std::uint8_t>(0x50 | Nibble(At(o, 0)));
        b[2] = Pair(At(o, 5), At(t, 0));
        b[3] = Pair(At(o, 3), At(o, 4));
        b[4] = Pair(At(t, 3), At(t, 4));
        b[5] = Pair(At(t, 1), At(t, 2));
        b[6] = Pair(At(t, 7), At(t, 8));
        b[7] = Pair(At(t, 5), At(t, 6));
        return;
    }
    for (std::size_t word = 0; word < 4; ++word) {
        const std::size_t first = word * 4;
        b[word * 2] = Pair(At(t, first + 2), At(t, first + 3));
        b[word * 2 + 1] = Pair(At(t, first), At(t, first + 1));
    }
}

std::uint8_t SataCapabilityByte(std::uint8_t sataSpeed, std::uint8_t limit) {
    if (limit == 0) {
        return sataSpeed;
    }
    std::uint8_t value = static_cast<std::uint8_t>(sataSpeed & 0xF0);
    for (int bit = 1; bit <= limit && bit <= 3; ++bit) {
        value |= static_cast<std::uint8_t>(1u << bit);
    }
    return value;
}

void PatchIdentifyData(const ImageContext& ctx, std::span<std::uint8_t> headerPage,
                       std::string_view serialNumber, std::string_view wwnText,
                       std::uint8_t sataSpeed) {
    if (headerPage.size() < kIdentifyTemplateOffset + kIdentifyTemplateSize) {
        return;
    }
    std::uint8_t* page = headerPage.data();
    const FlashConfig& f = ctx.flash;
    // 1-4: the three texts, blank first.
    PutAtaString(page + kIdentifySerialOffset, kIdentifySerialSize,
                 serialNumber.substr(0, kIdentifySerialSize));
    PutAtaString(page + kIdentifyRevisionOffset, kIdentifyRevisionSize,
                 FieldText(f.FirmwareVer).substr(0, kIdentifyRevisionSize));
    PutAtaString(page + kIdentifyModelOffset, kIdentifyModelSize,
                 FieldText(f.ModelNum).substr(0, kIdentifyModelSize));
    // 5: World Wide Name.
    BuildWwnBytes(wwnText, FieldText(f.OUI), page + kIdentifyWwnOffset);
    // 6: operator-defined words; the later steps win over them.
    for (int k = 0; k < kIdentifyEntryCount; ++k) {
        std::uint16_t word = 0;
        if (MarkedWord(ctx.process.IdentifyData[k], sizeof ctx.process.IdentifyData[k], word)) {
            PutLe16(page + kIdentifyTemplateOffset + 2 * static_cast<std::size_t>(k), word);
        }
    }
    // 7: the cable bit that lets a parallel host use UDMA 5.
    if (ctx.process.IDE_UDMA5 != 0) {
        page[kIdentifyUdmaOffset] = 0x20;
    }
    // 8: the advertised SATA generations.
    const std::uint8_t limit = ctx.settings.LimitSATASpeed;
    const std::uint8_t speed = SataCapabilityByte(sataSpeed, limit);
    page[kIdentifySataCapabilityOffset] = speed;
    OutputDbgMsg(limit != 0 ? kNewSataSpeedFormat : kOriginalSataSpeedFormat, speed);
}

}  // namespace kv
