// The user area of a drive: "user.img" in its state folder, a plain sparse
// image with sector n at byte n x 512, so that standard disk tools can read
// what the station wrote. Sectors never written read as zero and take no
// space.
#pragma once

#include <cstdint>
#include <fstream>
#include <span>
#include <string>

namespace kv::emu {

class UserArea {
  public:
    // Opens (or makes) the image and gives it the size of `sectors` when it is
    // smaller (a sparse extension).
    bool Open(const std::string& path, std::uint64_t sectors, std::string& error);
    bool Read(std::uint64_t lba, std::span<std::uint8_t> out);
    bool Write(std::uint64_t lba, std::span<const std::uint8_t> data);
    void Close();
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    std::fstream file_;
};

}  // namespace kv::emu
