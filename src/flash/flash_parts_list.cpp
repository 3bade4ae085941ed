#include "flash/flash_parts_list.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/ini_service.h"

namespace kv {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsTokenChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Decimal, or hexadecimal after "0x"/"0X"; false for anything else and for
// values beyond 32 bits.
bool ParseNumber(std::string_view token, std::uint32_t& value) {
    std::uint64_t result = 0;
    const bool hex = token.size() >= 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X');
    const std::string_view digits = hex ? token.substr(2) : token;
    if (digits.empty()) {
        return false;
    }
    for (const char c : digits) {
        const int digit = hex ? HexDigit(c) : ((c >= '0' && c <= '9') ? c - '0' : -1);
        if (digit < 0) {
            return false;
        }
        result = result * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (result > 0xFFFFFFFFu) {
            return false;
        }
    }
    value = static_cast<std::uint32_t>(result);
    return true;
}

template <std::size_t N>
void CopyText(char (&field)[N], std::string_view text) {
    const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, N - n);
}

void Fail(std::string* reason, std::string text) {
    if (reason != nullptr) {
        *reason = std::move(text);
    }
}

std::string KeyName(const char* format, int index) {
    char key[16];
    std::snprintf(key, sizeof key, format, index);
    return key;
}

}  // namespace

bool ParseFlashPartLine(std::string_view text, FlashPart& part, std::string* reason) {
    std::array<std::string_view, kFlashPartTokens> tokens;
    std::size_t pos = 0;
    for (int t = 0; t < kFlashPartTokens; ++t) {
        while (pos < text.size() && IsBlank(text[pos])) {
            ++pos;
        }
        if (pos == text.size()) {
            Fail(reason, "only " + std::to_string(t) + " of 17 tokens");
            return false;
        }
        const std::size_t start = pos;
        while (pos < text.size() && IsTokenChar(text[pos])) {
            ++pos;
        }
        if (pos == start || (pos < text.size() && !IsBlank(text[pos]))) {
            Fail(reason, "token " + std::to_string(t + 1) + " ends at a character '" +
                             std::string(1, text[pos]) + "' that is neither a letter nor a digit");
            return false;
        }
        tokens[static_cast<std::size_t>(t)] = text.substr(start, pos - start);
    }

    std::array<std::uint32_t, kFlashPartTokens> numbers{};
    for (std::size_t t = 2; t < tokens.size(); ++t) {
        if (!ParseNumber(tokens[t], numbers[t])) {
            Fail(reason, "token " + std::to_string(t + 1) + " \"" + std::string(tokens[t]) +
                             "\" is not a 32-bit decimal or 0x hexadecimal number");
            return false;
        }
    }

    FlashPart parsed;
    CopyText(parsed.FlashName, tokens[0]);
    CopyText(parsed.PartNumber, tokens[1]);
    parsed.TypeWord = static_cast<std::uint16_t>(numbers[2]);
    parsed.CeCount = static_cast<std::uint8_t>(numbers[3]);
    parsed.EccMode = static_cast<std::uint8_t>(numbers[4]);
    for (std::size_t i = 0; i < 5; ++i) {
        parsed.FlashId[i] = static_cast<std::uint8_t>(numbers[5 + i]);
    }
    parsed.SpareAttr = static_cast<std::uint8_t>(numbers[10]);
    parsed.HalfPageBlock = static_cast<std::uint8_t>(numbers[10] >> 16);
    parsed.AltFamily = static_cast<std::uint8_t>(numbers[11]);
    parsed.ExtendBlocks = static_cast<std::uint16_t>(numbers[12]);
    parsed.DieOffset = static_cast<std::uint16_t>(numbers[13]);
    parsed.PageMapType = static_cast<std::uint8_t>(numbers[14]);
    parsed.FlashInterface = static_cast<std::uint8_t>(numbers[15]);
    parsed.OnePlane = static_cast<std::uint8_t>(numbers[16]);
    part = parsed;
    return true;
}

bool LoadFlashList(const std::string& fileName, FlashPartsList& out, FlashListError* error) {
    out = FlashPartsList{};
    FlashListError local;
    FlashListError& err = error != nullptr ? *error : local;
    err = FlashListError{};

    const platform::IniFile ini(fileName);
    if (!ini.Exists()) {
        err.reason = "the file is missing or cannot be read";
        return false;
    }

    for (int v = 0; v < kMaxFlashVendors; ++v) {
        if (out.Parts.size() >= static_cast<std::size_t>(kMaxFlashParts)) {
            break;
        }
        const std::string vendor = ini.ReadString("Vendor", KeyName("Name%2.2d", v), "No");
        if (vendor == "No") {
            break;
        }
        bool malformed = false;
        for (int p = 0; out.Parts.size() < static_cast<std::size_t>(kMaxFlashParts); ++p) {
            const std::string key = KeyName("Name%3.3d", p);
            if (!ini.HasKey(vendor, key)) {
                break;
            }
            FlashPart part;
            std::string reason;
            if (!ParseFlashPartLine(ini.ReadString(vendor, key, ""), part, &reason)) {
                err.line = ini.KeyLine(vendor, key);
                err.section = vendor;
                err.key = key;
                err.reason = std::move(reason);
                malformed = true;
                break;
            }
            out.Parts.push_back(part);
        }
        out.Vendors.push_back(vendor.substr(0, kMaxFlashVendorName));
        out.VendorPartEnd.push_back(static_cast<int>(out.Parts.size()));
        if (malformed) {
            return false;
        }
    }

    if (out.Parts.empty()) {
        err.section = "Vendor";
        err.reason = "the list holds no flash part";
        return false;
    }
    return true;
}

int FindFlashPartByName(const FlashPartsList& list, const char* name) {
    if (name == nullptr) {
        return -1;
    }
    for (std::size_t i = 0; i < list.Parts.size(); ++i) {
        if (std::strcmp(list.Parts[i].FlashName, name) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace kv
