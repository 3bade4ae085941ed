// The later-table text is read back in full and checked before anything of
// it reaches a drive: a table that names a wrong block would make the
// firmware retire a good block or use a bad one.
#include "flash/later_table_text.h"

#include <algorithm>
#include <set>
#include <utility>

#include "firmware/byte_layout.h"
#include "firmware/defect_table.h"
#include "firmware/table_signatures.h"

namespace kv {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHex4(std::string& text, std::uint16_t value) {
    for (int shift = 12; shift >= 0; shift -= 4) {
        text.push_back(kHexDigits[(value >> shift) & 0x0F]);
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

class LaterTextReader {
  public:
    LaterTextReader(std::string_view text, const LaterTableGeometry& g) : text_(text), g_(g) {}

    bool Read(LaterTableText& out) {
        SkipSpace();
        if (Peek() == 'V' && !ReadVersion()) {
            return false;
        }
        while (SkipSpace(), pos_ < text_.size()) {
            const char letter = text_[pos_];
            bool ok = false;
            switch (letter) {
                case 'B':
                    ok = ReadBank(out);
                    break;
                case 'D':
                    ok = ReadDie();
                    break;
                case 'S':
                    ok = ReadBlock();
                    break;
                case 'C':
                    ok = ReadChannel();
                    break;
                case 'T':
                    ok = ReadCount();
                    break;
                case 'U':
                    ok = ReadEntry();
                    break;
                default:
                    ok = Fail("unexpected character");
                    break;
            }
            if (!ok) {
                return false;
            }
        }
        return CloseUnit(out);
    }

    const std::string& error() const { return error_; }

  private:
    enum class Expect { Bank, Die, Block, Channel };

    char Peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }

    void SkipSpace() {
        while (pos_ < text_.size() && (text_[pos_] == '\r' || text_[pos_] == '\n' ||
                                       text_[pos_] == ' ' || text_[pos_] == '\t')) {
            ++pos_;
        }
    }

    bool Fail(const std::string& what) {
        int line = 1;
        for (std::size_t i = 0; i < pos_ && i < text_.size(); ++i) {
            if (text_[i] == '\n') {
                ++line;
            }
        }
        error_ = "line " + std::to_string(line) + ": " + what;
        return false;
    }

    // The letter and "#".
    bool Tag(char letter) {
        if (pos_ + 1 >= text_.size() || text_[pos_] != letter || text_[pos_ + 1] != '#') {
            return Fail(std::string("bad ") + letter + " record");
        }
        pos_ += 2;
        return true;
    }

    bool Hex(int digits, std::uint32_t& value) {
        value = 0;
        for (int i = 0; i < digits; ++i) {
            const int v = HexValue(Peek());
            if (v < 0) {
                return Fail("hexadecimal digit expected");
            }
            value = value * 16 + static_cast<std::uint32_t>(v);
            ++pos_;
        }
        return true;
    }

    bool Comma() {
        if (Peek() != ',') {
            return Fail("',' expected");
        }
        ++pos_;
        return true;
    }

    // "0" and one decimal digit below `limit`.
    bool SmallNumber(int limit, const char* what, int& value) {
        if (Peek() != '0') {
            return Fail(std::string(what) + " must be written as 0 and a digit");
        }
        ++pos_;
        const char c = Peek();
        if (c < '0' || c > '9' || c - '0' >= limit) {
            return Fail(std::string(what) + " out of range");
        }
        value = c - '0';
        ++pos_;
        return true;
    }

    bool ReadVersion() {
        std::uint32_t v = 0;
        if (!Tag('V') || !Hex(2, v)) {
            return false;
        }
        const int code = static_cast<int>((v >> 4) * 10 + (v & 0x0F));
        if ((v >> 4) > 9 || (v & 0x0F) > 9 || !IsVersionedTableFormat(code)) {
            return Fail("unknown table version");
        }
        return true;
    }

    bool ReadBank(LaterTableText& out) {
        if (!CloseUnit(out)) {
            return false;
        }
        if (expect_ != Expect::Bank && expect_ != Expect::Channel) {
            return Fail("bank record before the previous block record");
        }
        int bank = 0;
        if (!Tag('B') || !SmallNumber(g_.Banks, "bank", bank)) {
            return false;
        }
        unit_ = LaterTableUnit{};
        unit_.Bank = bank;
        open_ = true;
        expect_ = Expect::Die;
        return true;
    }

    bool ReadDie() {
        if (expect_ != Expect::Die) {
            return Fail("die record out of place");
        }
        int die = 0;
        if (!Tag('D') || !SmallNumber(std::max(g_.Dies, 1), "die", die)) {
            return false;
        }
        if (!seen_.insert({unit_.Bank, die}).second) {
            return Fail("bank and die listed twice");
        }
        unit_.Die = die;
        expect_ = Expect::Block;
        return true;
    }

    bool ReadBlock() {
        if (expect_ != Expect::Block) {
            return Fail("block record out of place");
        }
        std::uint32_t block = 0;
        if (!Tag('S') || !Hex(4, block)) {
            return false;
        }
        if (block >= g_.Blocks) {
            return Fail("block beyond the flash");
        }
        unit_.Block = static_cast<std::uint16_t>(block);
        expect_ = Expect::Channel;
        return true;
    }

    bool ReadChannel() {
        if (expect_ != Expect::Channel) {
            return Fail("channel record out of place");
        }
        if (!CloseChannel()) {
            return false;
        }
        int channel = 0;
        if (!Tag('C') || !SmallNumber(g_.Channels, "channel", channel)) {
            return false;
        }
        if (!unit_.Channels.empty() && channel <= unit_.Channels.back().Channel) {
            return Fail("channels out of order");
        }
        unit_.Channels.push_back(LaterTableChannel{channel, false, {}});
        return true;
    }

    bool ReadCount() {
        if (expect_ != Expect::Channel || unit_.Channels.empty() ||
            unit_.Channels.back().HasTable) {
            return Fail("count record out of place");
        }
        std::uint32_t count = 0;
        if (!Tag('T') || !Hex(4, count) || !Comma()) {
            return false;
        }
        if (count > MaxLaterTableEntries(g_.PageBytes)) {
            return Fail("more entries than a page holds");
        }
        unit_.Channels.back().HasTable = true;
        expected_ = count;
        return true;
    }

    bool ReadEntry() {
        if (unit_.Channels.empty() || !unit_.Channels.back().HasTable) {
            return Fail("entry without a count");
        }
        LaterTableChannel& channel = unit_.Channels.back();
        if (channel.Entries.size() >= expected_) {
            return Fail("more entries than the count says");
        }
        std::uint32_t block = 0;
        std::uint32_t kind = 0;
        if (!Tag('U') || !Hex(4, block) || !Comma() || !Hex(1, kind)) {
            return false;
        }
        if (block >= g_.Blocks) {
            return Fail("block beyond the flash");
        }
        channel.Entries.push_back(
            {static_cast<std::uint16_t>(block), static_cast<std::uint8_t>(kind)});
        return true;
    }

    bool CloseChannel() {
        if (!unit_.Channels.empty() && unit_.Channels.back().HasTable &&
            unit_.Channels.back().Entries.size() != expected_) {
            return Fail("fewer entries than the count says");
        }
        expected_ = 0;
        return true;
    }

    bool CloseUnit(LaterTableText& out) {
        if (!open_) {
            return true;
        }
        if (expect_ != Expect::Channel) {
            return Fail("bank without its die and block");
        }
        if (!CloseChannel()) {
            return false;
        }
        out.Units.push_back(std::move(unit_));
        unit_ = LaterTableUnit{};
        open_ = false;
        return true;
    }

    std::string_view text_;
    LaterTableGeometry g_;
    std::size_t pos_ = 0;
    std::string error_;
    Expect expect_ = Expect::Bank;
    bool open_ = false;
    LaterTableUnit unit_;
    std::size_t expected_ = 0;
    std::set<std::pair<int, int>> seen_;
};

}  // namespace

LaterTableGeometry LaterTableGeometryOf(const FlashConfig& flash) {
    const DefectTableGeometry d = DefectTableGeometryOf(flash);
    return {d.Channels, d.Banks, d.Dies, d.Blocks, d.PageBytes};
}

std::size_t MaxLaterTableEntries(std::size_t pageBytes) {
    if (pageBytes <= kLaterEntriesOffset) {
        return 0;
    }
    return std::min<std::size_t>((pageBytes - kLaterEntriesOffset) / kLaterEntrySize, 0xFFFF);
}

void AppendLaterTableChannel(std::string& text, int channel, std::span<const std::uint8_t> slice) {
    text += "C#0";
    text.push_back(static_cast<char>('0' + (channel % 10)));
    if (HasLaterTableSignature(slice) && slice.size() >= kLaterEntriesOffset) {
        const std::size_t count = std::min<std::size_t>(Le16(slice.data() + kLaterCountOffset),
                                                        MaxLaterTableEntries(slice.size()));
        text += "T#";
        AppendHex4(text, static_cast<std::uint16_t>(count));
        text += ",";
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* e = slice.data() + kLaterEntriesOffset + i * kLaterEntrySize;
            text += "U#";
            AppendHex4(text, Le16(e));
            text += ",";
            text.push_back(kHexDigits[e[2] & 0x0F]);
        }
    }
    text += "\r\n";
}

bool ParseLaterTableText(std::string_view text, const LaterTableGeometry& geometry,
                         LaterTableText& out, std::string* error) {
    LaterTextReader reader(text, geometry);
    LaterTableText parsed;
    if (geometry.Channels < 1 || geometry.Banks < 1 || geometry.PageBytes <= kLaterEntriesOffset ||
        !reader.Read(parsed)) {
        if (error != nullptr) {
            *error = reader.error().empty() ? "no flash geometry" : reader.error();
        }
        return false;
    }
    out = std::move(parsed);
    return true;
}

void BuildLaterTableSlice(const LaterTableChannel& channel, std::span<std::uint8_t> slice) {
    std::fill(slice.begin(), slice.end(), std::uint8_t{0xFF});
    if (!channel.HasTable || slice.size() <= kLaterEntriesOffset) {
        return;
    }
    std::copy_n(LaterTableSignature(), kTableSignatureSize, slice.begin());
    const std::size_t count = std::min(channel.Entries.size(), MaxLaterTableEntries(slice.size()));
    PutLe16(slice.data() + kLaterCountOffset, static_cast<std::uint32_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* e = slice.data() + kLaterEntriesOffset + i * kLaterEntrySize;
        PutLe16(e, channel.Entries[i].Block);
        e[2] = channel.Entries[i].Kind;
    }
}

}  // namespace kv
