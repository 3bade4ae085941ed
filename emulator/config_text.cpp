#include "emulator/config_text.h"

#include <cctype>

namespace kv::emu {

std::string TrimText(const std::string& s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) {
        ++b;
    }
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) {
        --e;
    }
    return s.substr(b, e - b);
}

bool ParseUnsigned(const std::string& text, std::uint64_t max, std::uint64_t& out) {
    if (text.empty()) {
        return false;
    }
    int base = 10;
    std::size_t at = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        at = 2;
    }
    std::uint64_t value = 0;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c))) {
            digit = static_cast<unsigned>(std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
        } else {
            return false;
        }
        if (digit > max || value > (max - digit) / static_cast<unsigned>(base)) {
            return false;
        }
        value = value * static_cast<unsigned>(base) + digit;
    }
    out = value;
    return true;
}

}  // namespace kv::emu
