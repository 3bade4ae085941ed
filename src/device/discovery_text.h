// Text helpers of device discovery: bounded copies into the port records'
// fixed fields, lower-casing and the descriptor text conversion.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kv {

// Copies `text` into `field` with its terminator when it fits; false (field
// emptied) when it does not, so that a too-long name never becomes a shorter,
// different one.
bool StoreWhole(char* field, std::size_t capacity, std::string_view text);
template <std::size_t N>
bool StoreWhole(char (&field)[N], std::string_view text) {
    return StoreWhole(field, N, text);
}

// Copies what fits of `text` into `field`, always leaving its terminator.
void StoreCut(char* field, std::size_t capacity, std::string_view text);
template <std::size_t N>
void StoreCut(char (&field)[N], std::string_view text) {
    StoreCut(field, N, text);
}

// The field's text up to its terminator or its end.
template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
    std::size_t n = 0;
    while (n < N && field[n] != '\0') {
        ++n;
    }
    return std::string_view(field, n);
}

std::string LowerCase(std::string_view text);
// Lower-cases a field in place, up to its terminator.
void LowerCaseField(char* field, std::size_t capacity);

// A string descriptor in the ANSI code page: characters outside 7-bit ASCII
// become '?', and the text ends at a zero code unit.
std::string DescriptorToAnsi(const std::u16string& text);

}  // namespace kv
