// Reads a text field out of an image file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace kv {

// `ReadFileField`: the `length` bytes at `offset` of the file as a text that
// ends at its first zero byte (or where the file ends); nothing when the file
// cannot be opened.
std::optional<std::string> ReadFileField(const std::string& path, std::size_t offset,
                                         std::size_t length);

}  // namespace kv
