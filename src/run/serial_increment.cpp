#include "run/serial_increment.h"

#include <cctype>

namespace kv {
namespace {

// Length of the number: up to the terminator, a line feed or the capacity.
std::size_t NumberLength(const char* text, std::size_t capacity) {
    std::size_t n = 0;
    while (n < capacity && text[n] != '\0' && text[n] != '\n')
        ++n;
    return n;
}

// Advances one character; true when the carry moves on to the previous one.
bool StepHex(char& c) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (c == 'F') {
        c = '0';
        return true;
    }
    if ((c >= '0' && c <= '8') || (c >= 'A' && c <= 'E'))
        ++c;
    else if (c == '9')
        c = 'A';
    else
        c = '0';
    return false;
}

bool StepDecimal(char& c) {
    if (c == '9') {
        c = '0';
        return true;
    }
    if (c >= '0' && c <= '8')
        ++c;
    else
        c = '0';
    return false;
}

template <typename Step>
void Walk(char* text, std::size_t capacity, Step step) {
    if (text == nullptr)
        return;
    for (std::size_t i = NumberLength(text, capacity); i > 0; --i) {
        if (!step(text[i - 1]))
            return;
    }
}

template <typename Step>
std::string WalkCopy(std::string_view text, Step step) {
    std::string copy(text);
    Walk(copy.data(), copy.size(), step);
    return copy;
}

}  // namespace

void IncrementHexSerial(char* text, std::size_t capacity) {
    Walk(text, capacity, StepHex);
}

std::string IncrementHexSerial(std::string_view text) {
    return WalkCopy(text, StepHex);
}

void IncrementDecimalSerial(char* text, std::size_t capacity) {
    Walk(text, capacity, StepDecimal);
}

std::string IncrementDecimalSerial(std::string_view text) {
    return WalkCopy(text, StepDecimal);
}

}  // namespace kv
