#include "flash/rdt_report_tree.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "flash/rdt_record.h"
#include "platform/paths.h"

namespace kv {

bool EnsureRdtFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directory(folder, ec);
    return std::filesystem::is_directory(folder, ec);
}

std::string RdtCategoryName(std::uint8_t errorFlags) {
    if ((errorFlags & kRdtFlagP07) != 0) {
        return "P07";
    }
    if ((errorFlags & kRdtFlagP05) != 0) {
        return "P05";
    }
    if ((errorFlags & kRdtFlagP06) != 0) {
        return "P06";
    }
    return {};
}

std::string RdtCategoryText(std::uint8_t errorFlags) {
    const std::string name = RdtCategoryName(errorFlags);
    return name.empty() ? name : "[" + name + "]";
}

std::string RdtSerialName(const std::string& serial) {
    std::string name;
    bool onlyDots = true;
    for (const char c : serial) {
        const auto u = static_cast<unsigned char>(c);
        const bool refused = u < 0x20 || u == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr;
        name.push_back(refused ? '_' : c);
        onlyDots = onlyDots && c == '.';
    }
    if (onlyDots) {
        name.assign(std::max<std::size_t>(name.size(), 1), '_');
    }
    return name;
}

std::string RdtSubfolder(const std::string& parent, const std::string& name) {
    return parent + name + platform::kPathSeparator;
}

namespace {

bool PutText(const std::string& path, const std::string& text, const char* mode) {
    std::FILE* file = std::fopen(path.c_str(), mode);
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

bool WriteRdtTextFile(const std::string& path, const std::string& text) {
    return PutText(path, text, "wb");
}

bool AppendRdtTextFile(const std::string& path, const std::string& text) {
    return PutText(path, text, "ab");
}

}  // namespace kv
