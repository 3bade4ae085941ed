#include "device/discovery_text.h"

#include <cctype>
#include <cstring>

namespace kv {

bool StoreWhole(char* field, std::size_t capacity, std::string_view text) {
    if (capacity == 0) {
        return false;
    }
    if (text.size() >= capacity) {
        field[0] = '\0';
        return false;
    }
    std::memcpy(field, text.data(), text.size());
    field[text.size()] = '\0';
    return true;
}

void StoreCut(char* field, std::size_t capacity, std::string_view text) {
    if (capacity == 0) {
        return;
    }
    const std::size_t n = text.size() < capacity ? text.size() : capacity - 1;
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

std::string LowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

void LowerCaseField(char* field, std::size_t capacity) {
    for (std::size_t i = 0; i < capacity && field[i] != '\0'; ++i) {
        field[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(field[i])));
    }
}

std::string DescriptorToAnsi(const std::u16string& text) {
    std::string out;
    for (const char16_t unit : text) {
        if (unit == 0) {
            break;
        }
        out.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return out;
}

}  // namespace kv
