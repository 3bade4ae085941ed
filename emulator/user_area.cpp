#include "emulator/user_area.h"

#include <algorithm>
#include <filesystem>

namespace kv::emu {

bool UserArea::Open(const std::string& path, std::uint64_t sectors, std::string& error) {
    namespace fs = std::filesystem;
    Close();
    path_ = path;
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        std::ofstream make(path, std::ios::binary);
        if (!make) {
            error = path + ": cannot be created";
            return false;
        }
    }
    const std::uint64_t want = sectors * 512;
    const std::uint64_t have = fs::file_size(path, ec);
    if (!ec && have < want) {
        fs::resize_file(path, want, ec);
    }
    if (ec) {
        error = path + ": cannot be sized";
        return false;
    }
    file_.open(path, std::ios::binary | std::ios::in | std::ios::out);
    if (!file_) {
        error = path + ": cannot be opened";
        return false;
    }
    return true;
}

bool UserArea::Read(std::uint64_t lba, std::span<std::uint8_t> out) {
    if (!file_.is_open()) {
        return false;
    }
    file_.clear();
    file_.seekg(static_cast<std::streamoff>(lba * 512));
    file_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    const std::streamsize got = file_.gcount();
    // Beyond the end of the image the area reads as zero.
    if (got < static_cast<std::streamsize>(out.size())) {
        std::fill(out.begin() + std::max<std::streamsize>(got, 0), out.end(), std::uint8_t{0});
    }
    file_.clear();
    return true;
}

bool UserArea::Write(std::uint64_t lba, std::span<const std::uint8_t> data) {
    if (!file_.is_open()) {
        return false;
    }
    file_.clear();
    file_.seekp(static_cast<std::streamoff>(lba * 512));
    file_.write(reinterpret_cast<const char*>(data.data()),
                static_cast<std::streamsize>(data.size()));
    file_.flush();
    const bool ok = static_cast<bool>(file_);
    file_.clear();
    return ok;
}

void UserArea::Close() {
    if (file_.is_open()) {
        file_.close();
    }
}

}  // namespace kv::emu
