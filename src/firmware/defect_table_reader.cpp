// Reading a defect-table text back. The drive's defect table decides which
// blocks the firmware never uses, so a text that is mistyped, cut short or
// made for another flash must never reach a drive: the reader checks every
// record against the geometry and builds the page set privately, handing it
// over only when the whole text is sound.
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "firmware/byte_layout.h"
#include "firmware/defect_table.h"
#include "firmware/table_signatures.h"

namespace kv {
namespace {

class TableTextReader {
  public:
    TableTextReader(std::string_view text, const DefectTableGeometry& g, int formatCode)
        : text_(text), g_(g), formatCode_(formatCode) {}

    bool Read(std::vector<std::uint8_t>& pageSet) {
        pageSet.assign(g_.PageBytes * static_cast<std::size_t>(g_.Channels), 0);
        page_ = &pageSet;
        if (!ReadVersion()) {
            return false;
        }
        while (true) {
            SkipSpace(true);
            if (pos_ >= text_.size()) {
                break;
            }
            const char kind = text_[pos_];
            const bool ok = kind == 'C'   ? ReadChannel()
                            : kind == 'B' ? ReadBank()
                            : kind == 'U' ? ReadDefect()
                                          : Fail("unexpected character");
            if (!ok) {
                return false;
            }
        }
        if (!CloseChannel()) {
            return false;
        }
        if (channel_ + 1 != g_.Channels) {
            return Fail("the table ends before channel " + std::to_string(channel_ + 1));
        }
        return true;
    }

    const std::string& error() const { return error_; }

  private:
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

    void SkipSpace(bool lineBreaks) {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == ' ' || c == '\t' || (lineBreaks && (c == '\r' || c == '\n'))) {
                ++pos_;
            } else {
                break;
            }
        }
    }

    bool Expect(std::string_view what) {
        if (text_.substr(pos_, what.size()) != what) {
            return Fail(std::string("\"") + std::string(what) + "\" expected");
        }
        pos_ += what.size();
        return true;
    }

    bool Decimal(int& value, const char* what) {
        if (pos_ >= text_.size() || text_[pos_] < '0' || text_[pos_] > '9') {
            return Fail(std::string(what) + " digit expected");
        }
        value = text_[pos_++] - '0';
        return true;
    }

    bool Hex4(std::uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = pos_ < text_.size() ? text_[pos_] : '\0';
            int digit = -1;
            if (c >= '0' && c <= '9') {
                digit = c - '0';
            } else if (c >= 'A' && c <= 'F') {
                digit = c - 'A' + 10;
            } else if (c >= 'a' && c <= 'f') {
                digit = c - 'a' + 10;
            }
            if (digit < 0) {
                return Fail("four hexadecimal digits expected for the block");
            }
            value = value * 16 + static_cast<std::uint32_t>(digit);
            ++pos_;
        }
        return true;
    }

    // "V#" and two digits, optionally followed by "V#" and two digits.
    bool ReadVersion() {
        int high = 0;
        int low = 0;
        if (!Expect("V#") || !Decimal(high, "version") || !Decimal(low, "version")) {
            return false;
        }
        version_ = high * 10 + low;
        if (text_.substr(pos_, 2) == "V#") {
            pos_ += 2;
            if (!Decimal(high, "version") || !Decimal(low, "version")) {
                return false;
            }
        }
        const std::size_t before = pos_;
        SkipSpace(true);
        if (pos_ == before && pos_ < text_.size()) {
            return Fail("line end expected after the version");
        }
        return true;
    }

    bool Put(const std::uint8_t entry[4]) {
        const std::size_t used = at_ + kDefectEntrySize;
        if (used + kDefectEntrySize > g_.PageBytes) {
            return Fail("channel " + std::to_string(channel_) + " holds more entries than a page");
        }
        std::memcpy(page_->data() + static_cast<std::size_t>(channel_) * g_.PageBytes + at_, entry,
                    kDefectEntrySize);
        at_ = used;
        return true;
    }

    bool CloseChannel() {
        if (channel_ < 0) {
            return Fail("no channel in the table");
        }
        if (bank_ + 1 != g_.Banks) {
            return Fail("channel " + std::to_string(channel_) + " ends before bank " +
                        std::to_string(bank_ + 1));
        }
        const std::uint8_t end[4] = {kDefectEndMarker[0], kDefectEndMarker[1], 0, 0};
        std::memcpy(page_->data() + static_cast<std::size_t>(channel_) * g_.PageBytes + at_, end,
                    kDefectEntrySize);
        return true;
    }

    bool ReadChannel() {
        int digit = 0;
        if (!Expect("C#0") || !Decimal(digit, "channel")) {
            return false;
        }
        if (channel_ >= 0 && !CloseChannel()) {
            return false;
        }
        if (digit != channel_ + 1 || digit >= g_.Channels) {
            return Fail("channel " + std::to_string(digit) + " out of order or beyond " +
                        std::to_string(g_.Channels) + " channels");
        }
        channel_ = digit;
        bank_ = -1;
        std::uint8_t* slice = page_->data() + static_cast<std::size_t>(channel_) * g_.PageBytes;
        PutTableSignature(std::span<std::uint8_t>(slice, g_.PageBytes), kDefectTablePage);
        at_ = kTableSignatureSize;
        return true;
    }

    bool ReadBank() {
        int digit = 0;
        if (channel_ < 0) {
            return Fail("bank before any channel");
        }
        if (!Expect("B#0") || !Decimal(digit, "bank")) {
            return false;
        }
        if (digit != bank_ + 1 || digit >= g_.Banks) {
            return Fail("bank " + std::to_string(digit) + " out of order or beyond " +
                        std::to_string(g_.Banks) + " banks");
        }
        bank_ = digit;
        const std::uint8_t marker[4] = {kDefectBankMarker[0], kDefectBankMarker[1],
                                        static_cast<std::uint8_t>(digit), 0};
        return Put(marker);
    }

    bool Separator() {
        SkipSpace(false);
        if (!Expect(",")) {
            return false;
        }
        SkipSpace(false);
        return true;
    }

    bool ReadDefect() {
        if (bank_ < 0) {
            return Fail("bad block before any bank");
        }
        std::uint32_t block = 0;
        int die = 0;
        int plane = 0;
        int kind = 0;
        if (!Expect("U")) {
            return false;
        }
        SkipSpace(false);
        if (!Expect("#")) {
            return false;
        }
        SkipSpace(false);
        if (!Hex4(block) || !Separator() || !Decimal(die, "die") || !Decimal(plane, "plane") ||
            !Separator() || !Decimal(kind, "kind")) {
            return false;
        }
        if (block >= g_.Blocks) {
            return Fail("block " + std::to_string(block) + " beyond the " +
                        std::to_string(g_.Blocks) + " blocks of a chip enable");
        }
        if (die >= g_.Dies) {
            return Fail("die " + std::to_string(die) + " beyond " + std::to_string(g_.Dies) +
                        " dies");
        }
        if (plane > 1) {
            return Fail("plane " + std::to_string(plane) + " beyond 2 planes");
        }
        if (version_ == 21 && formatCode_ == 12 && kind != channel_) {
            return true;  // this format keeps only the entries of the channel's own kind
        }
        std::uint8_t entry[4] = {};
        PutLe16(entry, block);
        entry[2] = static_cast<std::uint8_t>(die * 16 + plane);
        entry[3] = static_cast<std::uint8_t>(kind);
        return Put(entry);
    }

    std::string_view text_;
    const DefectTableGeometry& g_;
    int formatCode_ = 0;
    int version_ = 0;
    std::vector<std::uint8_t>* page_ = nullptr;
    std::size_t pos_ = 0;
    int channel_ = -1;
    int bank_ = -1;
    std::size_t at_ = 0;
    std::string error_;
};

}  // namespace

bool TextToDefectTable(std::string_view text, const DefectTableGeometry& geometry, int formatCode,
                       std::span<std::uint8_t> pageSet, std::string* error) {
    auto fail = [error](const std::string& what) {
        if (error != nullptr) {
            *error = what;
        }
        return false;
    };
    if (geometry.Channels < 1 || geometry.Channels > 8 || geometry.Banks < 1 ||
        geometry.Banks > 8 || geometry.Dies < 1 || geometry.Blocks == 0 ||
        geometry.PageBytes < kTableSignatureSize + 2 * kDefectEntrySize) {
        return fail("the flash configuration is not valid");
    }
    const std::size_t needed = geometry.PageBytes * static_cast<std::size_t>(geometry.Channels);
    if (pageSet.size() < needed) {
        return fail("the page set is smaller than one page on every channel");
    }
    TableTextReader reader(text, geometry, formatCode);
    std::vector<std::uint8_t> built;
    if (!reader.Read(built)) {
        return fail(reader.error());
    }
    std::memcpy(pageSet.data(), built.data(), needed);
    return true;
}

bool TextFileToDefectTable(const std::string& path, const DefectTableGeometry& geometry,
                           int formatCode, std::span<std::uint8_t> pageSet, std::string* error) {
    if (path.empty()) {
        if (error != nullptr) {
            *error = "no table file named";
        }
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error != nullptr) {
            *error = "cannot open " + path;
        }
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        if (error != nullptr) {
            *error = "cannot read " + path;
        }
        return false;
    }
    return TextToDefectTable(text, geometry, formatCode, pageSet, error);
}

}  // namespace kv
