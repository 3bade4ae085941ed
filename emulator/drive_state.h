// What a drive's controller keeps besides its flash, saved in the drive's
// state folder: "controller.txt" (the maximum address set by SET MAX ADDRESS
// and the counters), "log9a.bin" (the host log 0x9A), "erasecount.bin" (the
// erase-count area the diagnostic program wrote) and "smart.bin" (the SMART
// sector it wrote). Save() rewrites them; a missing folder means a drive the
// fixture has not seen before.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv::emu {

class DriveState {
  public:
    static constexpr std::size_t kLogPages = 16;

    // Reads the folder; `created` is true when it held no controller state.
    bool Open(const std::string& folder, bool& created, std::string& error);
    // Writes every file (nothing without a folder). False when a file cannot be written.
    bool Save();

    std::optional<std::uint64_t> maxLba;  // last addressable sector set by SET MAX ADDRESS
    std::uint32_t powerUps = 0;
    std::uint64_t sectorsWritten = 0;
    std::uint64_t sectorsRead = 0;
    std::vector<std::uint8_t> log9A = std::vector<std::uint8_t>(kLogPages * 512, 0);
    std::vector<std::uint8_t> eraseCountArea;  // as the program wrote it
    std::vector<std::uint8_t> smartSector;     // 512 bytes once written

    const std::string& folder() const { return folder_; }

  private:
    std::string folder_;
};

}  // namespace kv::emu
