// The bad blocks the program knows of, per channel and bank, each with the
// kind the tables give it: 9 factory-marked, 4 failed an erase, 3 failed a
// program. A block is listed once; a factory mark is never replaced.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace kv::emu {

enum class DefectKind : std::uint8_t { ProgramFail = 3, EraseFail = 4, Factory = 9 };

class DefectMap {
  public:
    DefectMap(int channels, int banks);

    int channels() const { return channels_; }
    int banks() const { return banks_; }
    // Ignored outside the channels and banks of the map.
    void Add(int channel, int bank, int block, DefectKind kind);
    bool Has(int channel, int bank, int block) const;
    // Block number -> kind, in block order.
    const std::map<int, DefectKind>& At(int channel, int bank) const;
    // Bad blocks of `channel`, `bank` in [first, first + count).
    int CountIn(int channel, int bank, int first, int count) const;
    // Bad blocks of `channel`, `bank` in [first, first + count) with the given
    // block parity (plane).
    int CountInPlane(int channel, int bank, int first, int count, int plane) const;
    std::size_t Total() const;

  private:
    int channels_;
    int banks_;
    std::vector<std::map<int, DefectKind>> lists_;
};

}  // namespace kv::emu
