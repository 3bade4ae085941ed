// The NAND flash of one drive: channels x chip enables x blocks x pages.
//
// Behaves like flash: an erased page reads 0xFF; a page is programmed once
// and must be erased (a whole block) before it takes data again; factory bad
// blocks read as 0x00 and refuse program and erase; grown bad blocks read
// normally but fail the first program or erase that touches them and every
// one after that.
//
// Storage is sparse: pages never programmed take no space, and pages of equal
// content share one copy (a system area repeats the same page on every code
// block and channel). With a state folder, every program and erase is
// appended to "flash.log"; Compact() folds the log into "flash.dat".
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "emulator/drive_profile.h"
#include "emulator/nand_geometry.h"

namespace kv::emu {

struct PageAddress {
    int channel = 0;
    int chipEnable = 0;
    int block = 0;
    int page = 0;
};

enum class NandStatus {
    Ok,
    OutOfRange,         // no such channel, chip enable, block or page
    Bad,                // factory-marked or failed block
    ProgramFailed,      // a grown bad block failed now
    EraseFailed,        // a grown bad block failed now
    AlreadyProgrammed,  // the page holds data since the last erase
};

// Which blocks are bad, from the drive's fixture keys and the fixture seed.
struct BadBlockPlan {
    std::vector<BlockAddress> factory;
    std::vector<BlockAddress> grown;
};
// Factory bad blocks: `factoryBadPerDie` on every die of every chip enable at
// seeded positions that avoid blocks 0..3, plus the listed ones; with the
// "bad-over-ratio" fault, die 0 of channel 0, chip enable 0 carries more than
// a quarter of a plane's blocks besides. Grown bad blocks: `grownBad` seeded
// blocks of the whole drive (never 0..3, never factory bad) plus the listed.
BadBlockPlan PlanBadBlocks(const NandGeometry& g, const DriveProfile& profile, std::uint64_t seed);

class Nand {
  public:
    Nand(const NandGeometry& geometry, const BadBlockPlan& plan);
    ~Nand();
    Nand(const Nand&) = delete;
    Nand& operator=(const Nand&) = delete;

    const NandGeometry& geometry() const { return geometry_; }

    // `out` must hold geometry().pageBytes() bytes.
    NandStatus ReadPage(const PageAddress& a, std::span<std::uint8_t> out) const;
    // `data` must hold geometry().pageBytes() bytes.
    NandStatus ProgramPage(const PageAddress& a, std::span<const std::uint8_t> data);
    NandStatus EraseBlock(int channel, int chipEnable, int block);

    bool InRange(int channel, int chipEnable, int block) const;
    bool IsFactoryBad(int channel, int chipEnable, int block) const;
    // A grown bad block, whether or not it has failed yet.
    bool IsGrownBad(int channel, int chipEnable, int block) const;
    // A grown bad block that has failed a program or erase.
    bool HasFailed(int channel, int chipEnable, int block) const;
    bool IsProgrammed(const PageAddress& a) const;
    std::uint32_t EraseCount(int channel, int chipEnable, int block) const;
    const BadBlockPlan& plan() const { return plan_; }

    // Persistence. Open() reads what the folder holds (a drive seen before) and
    // journals from then on; `created` tells whether the folder held no flash yet.
    bool Open(const std::string& folder, bool& created, std::string& error);
    // Makes the journal durable (called after every command).
    void Flush();
    // Rewrites "flash.dat" from memory and empties "flash.log".
    bool Compact(std::string& error);

    std::size_t ProgrammedPages() const { return pages_.size(); }
    std::size_t DistinctContents() const;
    // What the flash holds in memory, roughly, in bytes.
    std::size_t MemoryBytes() const;

  private:
    struct Blob {
        std::vector<std::uint8_t> bytes;
        std::uint64_t hash = 0;
        std::uint32_t uses = 0;
    };

    std::uint64_t BlockKey(int channel, int chipEnable, int block) const;
    std::uint64_t PageKey(const PageAddress& a) const;
    std::uint32_t Intern(std::span<const std::uint8_t> data);
    void Release(std::uint32_t blob);
    void MarkFailed(int channel, int chipEnable, int block);
    bool Replay(std::FILE* f, bool snapshot, std::string& error);
    void Journal(const void* data, std::size_t size);

    NandGeometry geometry_;
    BadBlockPlan plan_;
    std::unordered_set<std::uint64_t> factoryBad_;
    std::unordered_set<std::uint64_t> grownBad_;
    std::unordered_set<std::uint64_t> failed_;
    std::unordered_map<std::uint64_t, std::uint32_t> pages_;  // page key -> blob id
    std::vector<Blob> blobs_;                                 // id -> content
    std::unordered_multimap<std::uint64_t, std::uint32_t> byHash_;
    std::vector<std::uint32_t> freeBlobs_;
    std::vector<std::uint16_t> eraseCounts_;  // per block, allocated on the first erase
    std::string folder_;
    std::FILE* journal_ = nullptr;
    std::unordered_set<std::uint32_t> blobInJournal_;
};

}  // namespace kv::emu
