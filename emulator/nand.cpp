#include "emulator/nand.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace kv::emu {
namespace {

constexpr char kSnapshotMagic[8] = {'K', 'V', 'F', 'L', 'A', 'S', 'H', '1'};

std::uint64_t SplitMix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint64_t HashBytes(const std::uint8_t* p, std::size_t n) {
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (std::size_t i = 0; i < n; ++i) {
        h = (h ^ p[i]) * 0x100000001B3ull;
    }
    return h;
}

std::uint64_t HashText(const std::string& s) {
    return HashBytes(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

bool ReadExact(std::FILE* f, void* out, std::size_t n) {
    return std::fread(out, 1, n, f) == n;
}

// Journal and snapshot records.
enum : std::uint8_t { kRecBlob = 'B', kRecProgram = 'P', kRecErase = 'E', kRecFailed = 'F' };

#pragma pack(push, 1)
struct PageRecord {
    std::uint8_t channel;
    std::uint8_t chipEnable;
    std::uint16_t block;
    std::uint16_t page;
    std::uint32_t blob;
};
struct BlockRecord {
    std::uint8_t channel;
    std::uint8_t chipEnable;
    std::uint16_t block;
};
struct SnapshotHeader {
    char magic[8];
    std::uint16_t typeWord;
    std::uint8_t channels;
    std::uint8_t chipEnables;
};
#pragma pack(pop)

}  // namespace

BadBlockPlan PlanBadBlocks(const NandGeometry& g, const DriveProfile& profile, std::uint64_t seed) {
    BadBlockPlan plan;
    std::unordered_set<std::uint64_t> taken;
    auto key = [&](int c, int e, int b) {
        return (static_cast<std::uint64_t>(c) * 8 + static_cast<std::uint64_t>(e)) * 65536 +
               static_cast<std::uint64_t>(b);
    };
    auto add = [&](std::vector<BlockAddress>& list, int c, int e, int b) {
        if (taken.insert(key(c, e, b)).second) {
            list.push_back({c, e, b});
        }
    };
    for (const BlockAddress& a : profile.factoryBadBlocks) {
        add(plan.factory, a.channel, a.chipEnable, a.block);
    }
    const int perDie = g.blocksPerDie();
    std::uint64_t state = seed ^ HashText(profile.name);
    auto pickInDie = [&](int c, int e, int die, int count) {
        const int first = std::max(die * perDie, 4);
        const int span = (die + 1) * perDie - first;
        int placed = 0;
        while (placed < count && span > 0) {
            const int b =
                first + static_cast<int>(SplitMix(state) % static_cast<std::uint64_t>(span));
            if (taken.insert(key(c, e, b)).second) {
                plan.factory.push_back({c, e, b});
                ++placed;
            }
        }
    };
    for (int c = 0; c < g.channels; ++c) {
        for (int e = 0; e < g.chipEnables; ++e) {
            for (int d = 0; d < g.dies; ++d) {
                pickInDie(c, e, d, profile.factoryBadPerDie);
            }
        }
    }
    if (profile.HasFault(FaultKind::BadOverRatio)) {
        // Over the usual defect ratio (48 per mille) but within the free
        // blocks a plane keeps, so the scan reports the ratio alone.
        const int perPlaneDie = g.blocksPerCe / 2 / g.dies;
        pickInDie(0, 0, 0, perPlaneDie * 6 / 100 + 1);
    }
    for (const BlockAddress& a : profile.grownBadBlocks) {
        if (!taken.count(key(a.channel, a.chipEnable, a.block))) {
            add(plan.grown, a.channel, a.chipEnable, a.block);
        }
    }
    int placed = 0;
    const std::uint64_t span = static_cast<std::uint64_t>(g.blocksPerCe - 4);
    while (placed < profile.grownBad) {
        const int c = static_cast<int>(SplitMix(state) % static_cast<std::uint64_t>(g.channels));
        const int e = static_cast<int>(SplitMix(state) % static_cast<std::uint64_t>(g.chipEnables));
        const int b = 4 + static_cast<int>(SplitMix(state) % span);
        if (taken.insert(key(c, e, b)).second) {
            plan.grown.push_back({c, e, b});
            ++placed;
        }
    }
    return plan;
}

Nand::Nand(const NandGeometry& geometry, const BadBlockPlan& plan)
    : geometry_(geometry), plan_(plan) {
    for (const BlockAddress& a : plan_.factory) {
        if (InRange(a.channel, a.chipEnable, a.block)) {
            factoryBad_.insert(BlockKey(a.channel, a.chipEnable, a.block));
        }
    }
    for (const BlockAddress& a : plan_.grown) {
        if (InRange(a.channel, a.chipEnable, a.block)) {
            grownBad_.insert(BlockKey(a.channel, a.chipEnable, a.block));
        }
    }
}

Nand::~Nand() {
    if (journal_ != nullptr) {
        std::fclose(journal_);
    }
}

bool Nand::InRange(int channel, int chipEnable, int block) const {
    return channel >= 0 && channel < geometry_.channels && chipEnable >= 0 &&
           chipEnable < geometry_.chipEnables && block >= 0 && block < geometry_.blocksPerCe;
}

std::uint64_t Nand::BlockKey(int channel, int chipEnable, int block) const {
    return (static_cast<std::uint64_t>(channel) *
                static_cast<std::uint64_t>(geometry_.chipEnables) +
            static_cast<std::uint64_t>(chipEnable)) *
               static_cast<std::uint64_t>(geometry_.blocksPerCe) +
           static_cast<std::uint64_t>(block);
}

std::uint64_t Nand::PageKey(const PageAddress& a) const {
    return BlockKey(a.channel, a.chipEnable, a.block) *
               static_cast<std::uint64_t>(geometry_.pagesPerBlock) +
           static_cast<std::uint64_t>(a.page);
}

bool Nand::IsFactoryBad(int channel, int chipEnable, int block) const {
    return factoryBad_.count(BlockKey(channel, chipEnable, block)) != 0;
}

bool Nand::IsGrownBad(int channel, int chipEnable, int block) const {
    return grownBad_.count(BlockKey(channel, chipEnable, block)) != 0;
}

bool Nand::HasFailed(int channel, int chipEnable, int block) const {
    return failed_.count(BlockKey(channel, chipEnable, block)) != 0;
}

bool Nand::IsProgrammed(const PageAddress& a) const {
    if (!InRange(a.channel, a.chipEnable, a.block) || a.page < 0 ||
        a.page >= geometry_.pagesPerBlock) {
        return false;
    }
    return pages_.count(PageKey(a)) != 0;
}

std::uint32_t Nand::EraseCount(int channel, int chipEnable, int block) const {
    if (eraseCounts_.empty() || !InRange(channel, chipEnable, block)) {
        return 0;
    }
    return eraseCounts_[BlockKey(channel, chipEnable, block)];
}

NandStatus Nand::ReadPage(const PageAddress& a, std::span<std::uint8_t> out) const {
    if (!InRange(a.channel, a.chipEnable, a.block) || a.page < 0 ||
        a.page >= geometry_.pagesPerBlock) {
        return NandStatus::OutOfRange;
    }
    const std::size_t n = std::min(out.size(), static_cast<std::size_t>(geometry_.pageBytes()));
    if (IsFactoryBad(a.channel, a.chipEnable, a.block)) {
        std::fill_n(out.begin(), n, std::uint8_t{0x00});
        return NandStatus::Ok;
    }
    const auto it = pages_.find(PageKey(a));
    if (it == pages_.end()) {
        std::fill_n(out.begin(), n, std::uint8_t{0xFF});
    } else {
        std::copy_n(blobs_[it->second].bytes.begin(), n, out.begin());
    }
    return NandStatus::Ok;
}

std::uint32_t Nand::Intern(std::span<const std::uint8_t> data) {
    const std::uint64_t h = HashBytes(data.data(), data.size());
    const auto range = byHash_.equal_range(h);
    for (auto it = range.first; it != range.second; ++it) {
        Blob& b = blobs_[it->second];
        if (b.bytes.size() == data.size() &&
            std::equal(data.begin(), data.end(), b.bytes.begin())) {
            ++b.uses;
            return it->second;
        }
    }
    std::uint32_t id = 0;
    if (!freeBlobs_.empty()) {
        id = freeBlobs_.back();
        freeBlobs_.pop_back();
    } else {
        id = static_cast<std::uint32_t>(blobs_.size());
        blobs_.emplace_back();
    }
    Blob& b = blobs_[id];
    b.bytes.assign(data.begin(), data.end());
    b.hash = h;
    b.uses = 1;
    byHash_.emplace(h, id);
    return id;
}

void Nand::Release(std::uint32_t id) {
    Blob& b = blobs_[id];
    if (b.uses > 0 && --b.uses == 0) {
        const auto range = byHash_.equal_range(b.hash);
        for (auto it = range.first; it != range.second; ++it) {
            if (it->second == id) {
                byHash_.erase(it);
                break;
            }
        }
        std::vector<std::uint8_t>().swap(b.bytes);
        freeBlobs_.push_back(id);
        blobInJournal_.erase(id);
    }
}

void Nand::Journal(const void* data, std::size_t size) {
    if (journal_ != nullptr) {
        std::fwrite(data, 1, size, journal_);
    }
}

void Nand::MarkFailed(int channel, int chipEnable, int block) {
    if (failed_.insert(BlockKey(channel, chipEnable, block)).second) {
        const std::uint8_t tag = kRecFailed;
        const BlockRecord r{static_cast<std::uint8_t>(channel),
                            static_cast<std::uint8_t>(chipEnable),
                            static_cast<std::uint16_t>(block)};
        Journal(&tag, 1);
        Journal(&r, sizeof r);
    }
}

NandStatus Nand::ProgramPage(const PageAddress& a, std::span<const std::uint8_t> data) {
    if (!InRange(a.channel, a.chipEnable, a.block) || a.page < 0 ||
        a.page >= geometry_.pagesPerBlock ||
        data.size() != static_cast<std::size_t>(geometry_.pageBytes())) {
        return NandStatus::OutOfRange;
    }
    if (IsFactoryBad(a.channel, a.chipEnable, a.block) ||
        HasFailed(a.channel, a.chipEnable, a.block)) {
        return NandStatus::Bad;
    }
    if (IsGrownBad(a.channel, a.chipEnable, a.block)) {
        MarkFailed(a.channel, a.chipEnable, a.block);
        return NandStatus::ProgramFailed;
    }
    const std::uint64_t key = PageKey(a);
    if (pages_.count(key)) {
        return NandStatus::AlreadyProgrammed;
    }
    const std::uint32_t id = Intern(data);
    pages_[key] = id;
    if (journal_ != nullptr) {
        if (!blobInJournal_.count(id)) {
            const std::uint8_t tag = kRecBlob;
            const std::uint32_t head[2] = {id, static_cast<std::uint32_t>(data.size())};
            Journal(&tag, 1);
            Journal(head, sizeof head);
            Journal(data.data(), data.size());
            blobInJournal_.insert(id);
        }
        const std::uint8_t tag = kRecProgram;
        const PageRecord r{
            static_cast<std::uint8_t>(a.channel), static_cast<std::uint8_t>(a.chipEnable),
            static_cast<std::uint16_t>(a.block), static_cast<std::uint16_t>(a.page), id};
        Journal(&tag, 1);
        Journal(&r, sizeof r);
    }
    return NandStatus::Ok;
}

NandStatus Nand::EraseBlock(int channel, int chipEnable, int block) {
    if (!InRange(channel, chipEnable, block)) {
        return NandStatus::OutOfRange;
    }
    if (IsFactoryBad(channel, chipEnable, block) || HasFailed(channel, chipEnable, block)) {
        return NandStatus::Bad;
    }
    if (IsGrownBad(channel, chipEnable, block)) {
        MarkFailed(channel, chipEnable, block);
        return NandStatus::EraseFailed;
    }
    for (int p = 0; p < geometry_.pagesPerBlock; ++p) {
        const auto it = pages_.find(PageKey({channel, chipEnable, block, p}));
        if (it != pages_.end()) {
            Release(it->second);
            pages_.erase(it);
        }
    }
    if (eraseCounts_.empty()) {
        eraseCounts_.assign(static_cast<std::size_t>(geometry_.totalBlocks()), 0);
    }
    std::uint16_t& count = eraseCounts_[BlockKey(channel, chipEnable, block)];
    if (count < 0xFFFF) {
        ++count;
    }
    const std::uint8_t tag = kRecErase;
    const BlockRecord r{static_cast<std::uint8_t>(channel), static_cast<std::uint8_t>(chipEnable),
                        static_cast<std::uint16_t>(block)};
    Journal(&tag, 1);
    Journal(&r, sizeof r);
    return NandStatus::Ok;
}

std::size_t Nand::DistinctContents() const {
    return byHash_.size();
}

std::size_t Nand::MemoryBytes() const {
    std::size_t bytes = sizeof *this;
    for (const Blob& b : blobs_) {
        bytes += sizeof b + b.bytes.capacity();
    }
    bytes += pages_.size() * 48 + byHash_.size() * 48;
    bytes += (factoryBad_.size() + grownBad_.size() + failed_.size()) * 32;
    bytes += eraseCounts_.capacity() * sizeof(std::uint16_t);
    return bytes;
}

// Reads records until the end of the file. The snapshot holds the same
// records as the journal, after a header naming the geometry.
bool Nand::Replay(std::FILE* f, bool snapshot, std::string& error) {
    if (snapshot) {
        SnapshotHeader h{};
        if (!ReadExact(f, &h, sizeof h) || std::memcmp(h.magic, kSnapshotMagic, 8) != 0) {
            error = "flash.dat is not a flash image of this fixture";
            return false;
        }
        if (h.typeWord != geometry_.typeWord || h.channels != geometry_.channels ||
            h.chipEnables != geometry_.chipEnables) {
            error = "flash.dat was made for another flash geometry";
            return false;
        }
    }
    const std::size_t pageBytes = static_cast<std::size_t>(geometry_.pageBytes());
    for (;;) {
        std::uint8_t tag = 0;
        if (std::fread(&tag, 1, 1, f) != 1) {
            return true;
        }
        if (tag == kRecBlob) {
            std::uint32_t head[2] = {};
            if (!ReadExact(f, head, sizeof head) || head[1] != pageBytes || head[0] > (1u << 24)) {
                return true;  // a torn tail of the journal: what came before stands
            }
            std::vector<std::uint8_t> bytes(pageBytes);
            if (!ReadExact(f, bytes.data(), bytes.size())) {
                return true;
            }
            if (head[0] >= blobs_.size()) {
                blobs_.resize(head[0] + 1);
            }
            Blob& b = blobs_[head[0]];
            if (b.uses == 0) {
                b.bytes = std::move(bytes);
                b.hash = HashBytes(b.bytes.data(), b.bytes.size());
            }
            blobInJournal_.insert(head[0]);
        } else if (tag == kRecProgram) {
            PageRecord r{};
            if (!ReadExact(f, &r, sizeof r)) {
                return true;
            }
            const PageAddress a{r.channel, r.chipEnable, r.block, r.page};
            // Records are packed: the blob number is copied out before it is
            // bound to any reference.
            const std::uint32_t blob = r.blob;
            if (!InRange(a.channel, a.chipEnable, a.block) || a.page >= geometry_.pagesPerBlock ||
                blob >= blobs_.size() || blobs_[blob].bytes.size() != pageBytes) {
                error = "flash state holds a page outside the flash";
                return false;
            }
            const std::uint64_t key = PageKey(a);
            const auto old = pages_.find(key);
            if (old != pages_.end()) {
                Release(old->second);
            }
            Blob& b = blobs_[blob];
            if (b.uses++ == 0) {
                byHash_.emplace(b.hash, blob);
            }
            pages_[key] = blob;
        } else if (tag == kRecErase || tag == kRecFailed) {
            BlockRecord r{};
            if (!ReadExact(f, &r, sizeof r)) {
                return true;
            }
            if (!InRange(r.channel, r.chipEnable, r.block)) {
                error = "flash state names a block outside the flash";
                return false;
            }
            if (tag == kRecFailed) {
                failed_.insert(BlockKey(r.channel, r.chipEnable, r.block));
                continue;
            }
            for (int p = 0; p < geometry_.pagesPerBlock; ++p) {
                const auto it = pages_.find(PageKey({r.channel, r.chipEnable, r.block, p}));
                if (it != pages_.end()) {
                    Release(it->second);
                    pages_.erase(it);
                }
            }
            if (eraseCounts_.empty()) {
                eraseCounts_.assign(static_cast<std::size_t>(geometry_.totalBlocks()), 0);
            }
            std::uint16_t& count = eraseCounts_[BlockKey(r.channel, r.chipEnable, r.block)];
            if (count < 0xFFFF) {
                ++count;
            }
        } else if (tag == 'C' && snapshot) {
            // An erase count: block record and the count.
            BlockRecord r{};
            std::uint16_t count = 0;
            if (!ReadExact(f, &r, sizeof r) || !ReadExact(f, &count, sizeof count) ||
                !InRange(r.channel, r.chipEnable, r.block)) {
                error = "flash.dat is damaged";
                return false;
            }
            if (eraseCounts_.empty()) {
                eraseCounts_.assign(static_cast<std::size_t>(geometry_.totalBlocks()), 0);
            }
            eraseCounts_[BlockKey(r.channel, r.chipEnable, r.block)] = count;
        } else {
            if (snapshot) {
                error = "flash.dat is damaged";
                return false;
            }
            return true;  // a torn journal tail
        }
    }
}

bool Nand::Open(const std::string& folder, bool& created, std::string& error) {
    namespace fs = std::filesystem;
    folder_ = folder;
    std::error_code ec;
    fs::create_directories(folder, ec);
    const fs::path dat = fs::path(folder) / "flash.dat";
    const fs::path log = fs::path(folder) / "flash.log";
    created = !fs::exists(dat, ec) && !fs::exists(log, ec);
    // Freed blobs from an earlier life: pages are rebuilt from the files.
    if (std::FILE* f = std::fopen(dat.string().c_str(), "rb")) {
        const bool ok = Replay(f, true, error);
        std::fclose(f);
        if (!ok) {
            error = dat.string() + ": " + error;
            return false;
        }
    }
    if (std::FILE* f = std::fopen(log.string().c_str(), "rb")) {
        const bool ok = Replay(f, false, error);
        std::fclose(f);
        if (!ok) {
            error = log.string() + ": " + error;
            return false;
        }
    }
    // Blobs the files defined but no page uses any more are free again.
    freeBlobs_.clear();
    for (std::uint32_t id = 0; id < blobs_.size(); ++id) {
        if (blobs_[id].uses == 0) {
            std::vector<std::uint8_t>().swap(blobs_[id].bytes);
            blobInJournal_.erase(id);
            freeBlobs_.push_back(id);
        }
    }
    // Start from a compact image, so the journal only holds this session.
    if (!Compact(error)) {
        return false;
    }
    return true;
}

void Nand::Flush() {
    if (journal_ != nullptr) {
        std::fflush(journal_);
    }
}

bool Nand::Compact(std::string& error) {
    namespace fs = std::filesystem;
    if (folder_.empty()) {
        return true;
    }
    if (journal_ != nullptr) {
        std::fclose(journal_);
        journal_ = nullptr;
    }
    const fs::path dat = fs::path(folder_) / "flash.dat";
    const fs::path tmp = fs::path(folder_) / "flash.dat.tmp";
    const fs::path log = fs::path(folder_) / "flash.log";
    std::FILE* f = std::fopen(tmp.string().c_str(), "wb");
    if (f == nullptr) {
        error = tmp.string() + ": cannot be written";
        return false;
    }
    SnapshotHeader h{};
    std::memcpy(h.magic, kSnapshotMagic, 8);
    h.typeWord = geometry_.typeWord;
    h.channels = static_cast<std::uint8_t>(geometry_.channels);
    h.chipEnables = static_cast<std::uint8_t>(geometry_.chipEnables);
    bool ok = std::fwrite(&h, sizeof h, 1, f) == 1;
    blobInJournal_.clear();
    for (std::uint32_t id = 0; id < blobs_.size() && ok; ++id) {
        const Blob& b = blobs_[id];
        if (b.uses == 0) {
            continue;
        }
        const std::uint8_t tag = kRecBlob;
        const std::uint32_t head[2] = {id, static_cast<std::uint32_t>(b.bytes.size())};
        ok = std::fwrite(&tag, 1, 1, f) == 1 && std::fwrite(head, sizeof head, 1, f) == 1 &&
             std::fwrite(b.bytes.data(), 1, b.bytes.size(), f) == b.bytes.size();
        blobInJournal_.insert(id);
    }
    const std::uint64_t perCe = static_cast<std::uint64_t>(geometry_.blocksPerCe);
    const std::uint64_t perPage = static_cast<std::uint64_t>(geometry_.pagesPerBlock);
    for (const auto& [key, id] : pages_) {
        if (!ok) {
            break;
        }
        const std::uint64_t blockKey = key / perPage;
        const std::uint64_t ceKey = blockKey / perCe;
        const PageRecord r{
            static_cast<std::uint8_t>(ceKey / static_cast<std::uint64_t>(geometry_.chipEnables)),
            static_cast<std::uint8_t>(ceKey % static_cast<std::uint64_t>(geometry_.chipEnables)),
            static_cast<std::uint16_t>(blockKey % perCe), static_cast<std::uint16_t>(key % perPage),
            id};
        const std::uint8_t tag = kRecProgram;
        ok = std::fwrite(&tag, 1, 1, f) == 1 && std::fwrite(&r, sizeof r, 1, f) == 1;
    }
    auto blockOf = [&](std::uint64_t blockKey) {
        const std::uint64_t ceKey = blockKey / perCe;
        return BlockRecord{
            static_cast<std::uint8_t>(ceKey / static_cast<std::uint64_t>(geometry_.chipEnables)),
            static_cast<std::uint8_t>(ceKey % static_cast<std::uint64_t>(geometry_.chipEnables)),
            static_cast<std::uint16_t>(blockKey % perCe)};
    };
    for (std::uint64_t key : failed_) {
        const std::uint8_t tag = kRecFailed;
        const BlockRecord r = blockOf(key);
        ok = ok && std::fwrite(&tag, 1, 1, f) == 1 && std::fwrite(&r, sizeof r, 1, f) == 1;
    }
    for (std::size_t key = 0; key < eraseCounts_.size() && ok; ++key) {
        if (eraseCounts_[key] == 0) {
            continue;
        }
        const std::uint8_t tag = 'C';
        const BlockRecord r = blockOf(key);
        ok = std::fwrite(&tag, 1, 1, f) == 1 && std::fwrite(&r, sizeof r, 1, f) == 1 &&
             std::fwrite(&eraseCounts_[key], sizeof eraseCounts_[key], 1, f) == 1;
    }
    ok = (std::fclose(f) == 0) && ok;
    std::error_code ec;
    if (ok) {
        fs::rename(tmp, dat, ec);
        ok = !ec;
    }
    if (!ok) {
        error = dat.string() + ": cannot be written";
        return false;
    }
    journal_ = std::fopen(log.string().c_str(), "wb");
    if (journal_ == nullptr) {
        error = log.string() + ": cannot be written";
        return false;
    }
    return true;
}

}  // namespace kv::emu
