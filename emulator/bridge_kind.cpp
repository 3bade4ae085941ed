#include "emulator/bridge_kind.h"

#include <cstdio>
#include <cstring>

namespace kv::emu {
namespace {

// Compares like the station does: byte for byte, stopping at a zero byte of
// the pattern's length or of the code.
bool CodeIs(const BridgeCode& code, std::size_t from, const char* text) {
    const std::size_t n = std::strlen(text);
    for (std::size_t i = 0; i < n; ++i) {
        if (from + i >= code.size()) {
            return false;
        }
        if (code[from + i] != static_cast<std::uint8_t>(text[i])) {
            return false;
        }
        if (code[from + i] == 0) {
            return true;
        }
    }
    return true;
}

struct Row {
    const char* text;
    int type;
};

}  // namespace

BridgeKind ClassifyBridge(const BridgeCode& code) {
    static const Row kFirst[] = {{"p710", 1},  {"p711", 9},  {"p712", 4},  {"p713", 7}, {"p714", 8},
                                 {"p720", 11}, {"p721", 12}, {"p722", 12}, {"p723", 13}};
    for (const Row& row : kFirst) {
        if (CodeIs(code, 0, row.text)) {
            return {BridgeFamily::Sat, row.type};
        }
    }
    if (code[0] == 0x05 && code[1] == 0xE3 && code[2] == 0x07 && code[3] == 0x18) {
        return {BridgeFamily::Sat, 14};
    }
    for (const char* w : {"w40", "w41", "w42", "w43"}) {
        if (CodeIs(code, 1, w)) {
            return {BridgeFamily::Sat, 13};
        }
    }
    if (CodeIs(code, 0, "p724") || CodeIs(code, 0, "p725")) {
        return {BridgeFamily::Sat, 13};
    }
    for (const char* d : {"p730", "G40X", "elm ", "p731", "G41X"}) {
        if (CodeIs(code, 0, d)) {
            return {BridgeFamily::Direct, 10};
        }
    }
    return {BridgeFamily::Foreign, 0};
}

bool ParseBridgeCode(const std::string& text, BridgeCode& out) {
    if (text.size() == 4) {
        for (std::size_t i = 0; i < 4; ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c < 0x20 || c > 0x7E) {
                return false;
            }
            out[i] = c;
        }
        return true;
    }
    if (text.size() == 10 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        for (std::size_t i = 0; i < 4; ++i) {
            unsigned value = 0;
            for (std::size_t j = 0; j < 2; ++j) {
                const char c = text[2 + i * 2 + j];
                unsigned digit = 0;
                if (c >= '0' && c <= '9') {
                    digit = static_cast<unsigned>(c - '0');
                } else if (c >= 'a' && c <= 'f') {
                    digit = static_cast<unsigned>(c - 'a' + 10);
                } else if (c >= 'A' && c <= 'F') {
                    digit = static_cast<unsigned>(c - 'A' + 10);
                } else {
                    return false;
                }
                value = value * 16 + digit;
            }
            out[i] = static_cast<std::uint8_t>(value);
        }
        return true;
    }
    return false;
}

std::string BridgeCodeText(const BridgeCode& code) {
    bool printable = true;
    for (std::uint8_t c : code) {
        printable = printable && c >= 0x20 && c <= 0x7E;
    }
    if (printable) {
        return std::string(code.begin(), code.end());
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X%02X%02X%02X", code[0], code[1], code[2], code[3]);
    return text;
}

}  // namespace kv::emu
