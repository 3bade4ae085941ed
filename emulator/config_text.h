// Text rules shared by the fixture file and its fault lists.
#pragma once

#include <cstdint>
#include <string>

namespace kv::emu {

// `s` without leading and trailing white space.
std::string TrimText(const std::string& s);

// A whole non-negative number up to `max`, decimal or with a "0x" prefix.
bool ParseUnsigned(const std::string& text, std::uint64_t max, std::uint64_t& out);

}  // namespace kv::emu
