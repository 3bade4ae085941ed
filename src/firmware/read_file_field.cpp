#include "firmware/read_file_field.h"

#include <cstring>
#include <fstream>
#include <vector>

namespace kv {

std::optional<std::string> ReadFileField(const std::string& path, std::size_t offset,
                                         std::size_t length) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<char> field(length, '\0');
    in.seekg(static_cast<std::streamoff>(offset));
    if (in) {
        in.read(field.data(), static_cast<std::streamsize>(length));
    }
    const std::size_t got = in.gcount() > 0 ? static_cast<std::size_t>(in.gcount()) : 0;
    return std::string(field.data(), ::strnlen(field.data(), got));
}

}  // namespace kv
