#include "config/settings_text.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <utility>
#include <vector>

namespace kv::config {

namespace {

constexpr std::size_t kMaxImageLength = kSettingsTextSize - 1;

// Takes lines from an image from a running position. A line ends at LF (which
// is consumed); CRs are dropped. At the end of the image a pending partial line
// is given only when it holds "=". Lines longer than `limit` are reported
// instead of given, the partial last line included, since it was read as well.
class LineReader {
  public:
    enum class Result { kLine, kEnd, kTooLong };

    explicit LineReader(std::string_view image,
                        std::size_t limit = std::numeric_limits<std::size_t>::max())
        : image_(image), limit_(limit) {}

    Result Next(std::string& line) {
        if (pos_ >= image_.size()) {
            return Result::kEnd;
        }
        line.clear();
        ++number_;
        while (pos_ < image_.size()) {
            const char c = image_[pos_++];
            if (c == '\n') {
                return line.size() > limit_ ? Result::kTooLong : Result::kLine;
            }
            if (c != '\r') {
                line.push_back(c);
            }
        }
        if (line.size() > limit_) {
            return Result::kTooLong;
        }
        return line.find('=') != std::string::npos ? Result::kLine : Result::kEnd;
    }

    // 1-based number of the line taken last.
    int number() const { return number_; }

  private:
    std::string_view image_;
    std::size_t limit_;
    std::size_t pos_ = 0;
    int number_ = 0;
};

// Texts handed in end at their first NUL, as the C strings they come from.
std::string_view CutAtNul(std::string_view text) {
    return text.substr(0, std::min(text.find('\0'), text.size()));
}

bool HoldsLineEnd(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

std::string Header(std::string_view section) {
    std::string header;
    header.reserve(section.size() + 2);
    header += '[';
    header += section;
    header += ']';
    return header;
}

std::string TooLongReason(int line, std::size_t limit) {
    return "line " + std::to_string(line) + " is longer than " + std::to_string(limit) +
           " characters";
}

}  // namespace

void SettingsText::Fail(int line, std::string reason) {
    if (error_.failed) {
        return;
    }
    error_.failed = true;
    error_.line = line;
    error_.reason = std::move(reason);
}

bool SettingsText::Accept(std::string text) {
    image_.clear();
    if (text.size() > kMaxImageLength) {
        Fail(0, "the file holds more than " + std::to_string(kMaxImageLength) + " characters");
        return false;
    }
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos) {
        const auto lineEnds = std::count(text.begin(), text.begin() + nul, '\n');
        Fail(static_cast<int>(lineEnds) + 1, "binary data (NUL byte)");
        return false;
    }
    LineReader reader(text, kStringLineLimit);
    std::string line;
    for (;;) {
        const LineReader::Result result = reader.Next(line);
        if (result == LineReader::Result::kEnd) {
            break;
        }
        if (result == LineReader::Result::kTooLong) {
            Fail(reader.number(), TooLongReason(reader.number(), kStringLineLimit));
            return false;
        }
    }
    image_ = std::move(text);
    return true;
}

bool SettingsText::Load(const std::string& path) {
    image_.clear();
    error_ = {};

    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        return true;
    }
    if (status.type() == std::filesystem::file_type::directory) {
        Fail(0, "the file cannot be read");
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        Fail(0, "the file cannot be read");
        return false;
    }
    // Every character of the image takes at most two bytes on disk (CR LF), so
    // one byte more than twice the limit is enough to tell a file that fits
    // from one that does not.
    std::vector<char> raw(2 * kMaxImageLength + 1);
    in.read(raw.data(), static_cast<std::streamsize>(raw.size()));
    if (in.bad()) {
        Fail(0, "the file cannot be read");
        return false;
    }
    const auto count = static_cast<std::size_t>(in.gcount());

    std::string text;
    text.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (raw[i] == '\r' && i + 1 < count && raw[i + 1] == '\n') {
            continue;  // CR LF is read as LF
        }
        text.push_back(raw[i]);
    }
    return Accept(std::move(text));
}

bool SettingsText::SetImage(std::string_view text) {
    error_ = {};
    return Accept(std::string(text));
}

bool SettingsText::FindValue(std::string_view section, std::string_view key, std::size_t lineLimit,
                             std::string& value) {
    key = CutAtNul(key);
    const std::string header = Header(CutAtNul(section));
    // Every line of the image fits the string reader (the load refuses longer
    // ones); the integer readers' shorter limit applies to the line they take.
    LineReader reader(image_, kStringLineLimit);
    std::string line;
    bool inSection = false;
    for (;;) {
        const LineReader::Result result = reader.Next(line);
        if (result == LineReader::Result::kEnd) {
            return false;
        }
        if (result == LineReader::Result::kTooLong) {
            Fail(reader.number(), TooLongReason(reader.number(), kStringLineLimit));
            return false;
        }
        if (!inSection) {
            inSection = line == header;
            continue;
        }
        if (!line.empty() && line.front() == '[') {
            return false;
        }
        if (line.starts_with(key)) {
            if (line.size() > lineLimit) {
                Fail(reader.number(), TooLongReason(reader.number(), lineLimit));
                return false;
            }
            const std::size_t eq = line.find('=');
            value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
            return true;
        }
    }
}

std::int32_t SettingsText::ReadIniInt(std::string_view section, std::string_view key,
                                      std::int32_t def) {
    std::string value;
    if (!FindValue(section, key, kIntLineLimit, value) || value.empty()) {
        return def;
    }
    // Accumulated in 32 bits with wrap-around, as a 32-bit reader does; unsigned
    // arithmetic keeps the wrap well-defined.
    std::size_t i = 0;
    const bool negative = value[0] == '-';
    if (negative) {
        i = 1;
    }
    std::uint32_t number = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        number = number * 10U + static_cast<std::uint32_t>(value[i] - '0');
    }
    if (negative) {
        number = 0U - number;
    }
    return static_cast<std::int32_t>(number);
}

std::uint64_t SettingsText::ReadIniUInt64(std::string_view section, std::string_view key,
                                          std::uint64_t def) {
    std::string value;
    if (!FindValue(section, key, kIntLineLimit, value) || value.empty()) {
        return def;
    }
    std::uint64_t number = 0;
    for (std::size_t i = 0; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        number = number * 10U + static_cast<std::uint64_t>(value[i] - '0');
    }
    return number;
}

std::size_t SettingsText::ReadIniString(std::string_view section, std::string_view key,
                                        std::string_view def, std::size_t capacity, char* dest) {
    std::string value;
    const std::string_view text =
        FindValue(section, key, kStringLineLimit, value) ? std::string_view(value) : CutAtNul(def);
    if (capacity == 0) {
        return 0;
    }
    const std::size_t length = std::min(text.size(), capacity - 1);
    std::memcpy(dest, text.data(), length);
    dest[length] = '\0';
    return length;
}

bool SettingsText::WriteIniString(std::string_view section, std::string_view key,
                                  std::string_view value) {
    section = CutAtNul(section);
    key = CutAtNul(key);
    value = CutAtNul(value);
    // A line end would split the key's line and plant lines of its own in the
    // file; a CR would be dropped on reading, so the header would never match.
    if (HoldsLineEnd(section) || HoldsLineEnd(key) || HoldsLineEnd(value)) {
        Fail(0, "a line end in the section, key or value");
        return false;
    }
    const std::string header = Header(section);
    std::string keyLine;
    keyLine.reserve(key.size() + 1 + value.size());
    keyLine += key;
    keyLine += '=';
    keyLine += value;
    // A line the reader would refuse at the next load is not written.
    if (keyLine.size() > kStringLineLimit || header.size() > kStringLineLimit) {
        Fail(0, "a line longer than " + std::to_string(kStringLineLimit) + " characters");
        return false;
    }

    std::string composed;
    composed.reserve(image_.size() + header.size() + keyLine.size() + 4);
    if (image_.empty()) {
        composed += header;
        composed += '\n';
        composed += keyLine;
        composed += '\n';
    } else {
        LineReader reader(image_);
        std::string line;
        bool found = false;
        while (!found && reader.Next(line) == LineReader::Result::kLine) {
            composed += line;
            composed += '\n';
            found = line == header;
        }
        if (!found) {
            composed += '\n';
            composed += header;
            composed += '\n';
            composed += keyLine;
            composed += '\n';
        } else {
            bool placed = false;
            while (reader.Next(line) == LineReader::Result::kLine) {
                if (!placed && !line.empty() && line.front() == '[') {
                    composed += keyLine;
                    composed += '\n';
                    placed = true;
                } else if (!placed && line.starts_with(key)) {
                    line = keyLine;
                    placed = true;
                }
                composed += line;
                composed += '\n';
            }
            if (!placed) {
                composed += keyLine;
                composed += '\n';
            }
        }
    }

    if (composed.size() > kMaxImageLength) {
        Fail(0, "the settings text would hold more than " + std::to_string(kMaxImageLength) +
                    " characters");
        return false;
    }
    image_ = std::move(composed);
    return true;
}

bool SettingsText::WriteIniInt(std::string_view section, std::string_view key, std::int32_t value) {
    return WriteIniString(section, key, std::to_string(value));
}

bool SettingsText::WriteIniUInt64(std::string_view section, std::string_view key,
                                  std::uint64_t value) {
    return WriteIniString(section, key, std::to_string(value));
}

bool SettingsText::Store(const std::string& path) {
    std::string out;
    out.reserve(image_.size() +
                static_cast<std::size_t>(std::count(image_.begin(), image_.end(), '\n')));
    for (const char c : image_) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    // Written beside the file and renamed over it, so a failed write never
    // leaves a cut-off settings file behind.
    const std::string temporary = path + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file) {
            Fail(0, "the file cannot be written");
            return false;
        }
        file.write(out.data(), static_cast<std::streamsize>(out.size()));
        file.close();
        if (!file) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            Fail(0, "the file cannot be written");
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        Fail(0, "the file cannot be written");
        return false;
    }
    return true;
}

}  // namespace kv::config
