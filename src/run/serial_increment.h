// The serial-number arithmetic the run controller applies to "SerialNum" and
// "UID" after a number was given to a drive. The number is the text up to its
// end or to a line feed; it never grows: a carry out of the first character is
// dropped.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kv {

// From the last character backwards, each one upper-cased first: "F" becomes
// "0" and the carry moves on; "0".."8" and "A".."E" go up by one, "9" becomes
// "A", any other character becomes "0"; then the walk stops.
void IncrementHexSerial(char* text, std::size_t capacity);
std::string IncrementHexSerial(std::string_view text);

// From the last character backwards: "9" becomes "0" and the carry moves on;
// "0".."8" go up by one, any other character becomes "0"; then the walk stops.
void IncrementDecimalSerial(char* text, std::size_t capacity);
std::string IncrementDecimalSerial(std::string_view text);

}  // namespace kv
