// The report of the last program, as VC_GDP_GetResult answers it (2,048
// bytes): byte 0 the number of records, the records from byte 1 on, 16 bytes
// each except codes 128 and 130, which take 17. Record fields: 0 code,
// 1 channel, 2 bank, 3 die, 4-5 value (u16: a block number, a bad block
// count or a page kind), 6 page, 8 error code, 10-14 flash ID.
// A report without records (byte 0 = 0) means the program found nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kv::emu {

enum class Finding : std::uint8_t {
    PageMissing = 1,         // value: page kind (0 code page, 1 defect page, 2 remap page)
    PageEccFail = 2,         // value: page kind
    OverDefectRatio = 3,     // channel, bank, die; value: bad blocks of the die
    FreeBlocksTooLarge = 4,  // the reserved ratio leaves too few user blocks
    OverFreeBlocks = 5,      // channel, bank, die; value: bad blocks of one plane
    BuildTableFail = 6,      // channel: the table does not fit its page
    BadBlock = 7,            // channel, bank; value: a block that failed now
    BadPage = 8,             // channel, bank; value: block, page, error code
    RemapFail = 9,           // channel
    SettingCounts = 128,     // channel and bank counts of the image
    SeenCounts = 129,        // channel and bank counts seen
    SettingId = 130,         // the ID the other chip enables answered
    SeenId = 131,            // channel, bank and the ID it answered
};

enum class PageKind : std::uint16_t { Code = 0, Defect = 1, Remap = 2 };

struct ReportRecord {
    Finding code = Finding::BuildTableFail;
    std::uint8_t channel = 0;
    std::uint8_t bank = 0;
    std::uint8_t die = 0;
    std::uint16_t value = 0;
    std::uint8_t page = 0;
    std::uint8_t error = 0;
    std::array<std::uint8_t, 5> id{};
};

class ResultReport {
  public:
    static constexpr std::size_t kBytes = 2048;

    void Clear();
    // False (and nothing written) when the record does not fit any more.
    bool Add(const ReportRecord& record);
    int count() const { return bytes_[0]; }
    const std::array<std::uint8_t, kBytes>& bytes() const { return bytes_; }

  private:
    std::array<std::uint8_t, kBytes> bytes_{};
    std::size_t used_ = 1;
};

}  // namespace kv::emu
