#include "platform/ini_service.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <system_error>
#include <utility>

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kv::platform {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

bool IsQuoted(std::string_view text) {
    return text.size() >= 2 && text.front() == '"' && text.back() == '"';
}

bool HasLineBreak(std::string_view text) {
    return text.find('\r') != std::string_view::npos || text.find('\n') != std::string_view::npos;
}

// The section name of a header line, or false when the line is no header.
bool ParseHeader(std::string_view line, std::string& name) {
    const std::string_view text = Trim(line);
    if (text.empty() || text.front() != '[') {
        return false;
    }
    std::string_view inner = text.substr(1);
    const std::size_t close = inner.rfind(']');
    if (close != std::string_view::npos) {
        inner = inner.substr(0, close);
    }
    name = std::string(Trim(inner));
    return true;
}

bool IsComment(std::string_view line) {
    const std::string_view text = Trim(line);
    return !text.empty() && text.front() == ';';
}

bool ValidSectionName(std::string_view name) {
    return !HasLineBreak(name) && name.find(']') == std::string_view::npos;
}

bool ValidKeyName(std::string_view key) {
    return !key.empty() && !HasLineBreak(key) && key.find('=') == std::string_view::npos &&
           key.front() != ';' && key.front() != '[';
}

std::string EncodeValue(std::string_view value) {
    if (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) || IsQuoted(value))) {
        std::string quoted = "\"";
        quoted += value;
        quoted += '"';
        return quoted;
    }
    return std::string(value);
}

// Writes `data` to a new file at `path` and forces it to the disk before
// returning, so the rename that follows never exposes a partly written file.
bool WriteWholeFile(const std::string& path, const std::string& data) {
#if defined(_WIN32)
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        return false;
    }
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.flush();
    return static_cast<bool>(out);
#else
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    const char* next = data.data();
    std::size_t left = data.size();
    bool ok = true;
    while (left > 0) {
        const ssize_t done = ::write(fd, next, left);
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            ok = false;
            break;
        }
        next += done;
        left -= static_cast<std::size_t>(done);
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
    }
    if (::close(fd) != 0) {
        ok = false;
    }
    return ok;
#endif
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {
    Load();
}

bool IniFile::Load() {
    lines_.clear();
    sections_.clear();
    exists_ = false;

    std::error_code ec;
    const auto status = std::filesystem::status(path_, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        return true;
    }
    if (ec || status.type() != std::filesystem::file_type::regular) {
        return false;
    }
    std::ifstream in(path_, std::ios::binary);
    if (!in) {
        return false;
    }
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return false;
    }
    exists_ = true;

    std::string_view rest(data);
    if (rest.substr(0, 3) == "\xEF\xBB\xBF") {
        rest.remove_prefix(3);
    }
    while (!rest.empty()) {
        const std::size_t lf = rest.find('\n');
        std::string_view line = rest.substr(0, lf);
        rest = (lf == std::string_view::npos) ? std::string_view() : rest.substr(lf + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines_.emplace_back(line);
    }
    Index();
    return true;
}

void IniFile::Index() {
    sections_.clear();
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::string name;
        if (ParseHeader(lines_[i], name)) {
            if (!sections_.empty()) {
                sections_.back().end = i;
            }
            sections_.push_back(Section{std::move(name), i, lines_.size(), {}});
            continue;
        }
        if (sections_.empty() || IsComment(lines_[i])) {
            continue;
        }
        const std::string_view line = lines_[i];
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            continue;
        }
        const std::string_view key = Trim(line.substr(0, eq));
        if (key.empty()) {
            continue;
        }
        std::string_view value = Trim(line.substr(eq + 1));
        if (IsQuoted(value)) {
            value = value.substr(1, value.size() - 2);
        }
        sections_.back().entries.push_back(Entry{std::string(key), std::string(value), i});
    }
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
    name = Trim(name);
    for (const Section& section : sections_) {
        if (SameName(section.name, name)) {
            return &section;
        }
    }
    return nullptr;
}

const IniFile::Entry* IniFile::FindEntry(std::string_view section, std::string_view key) const {
    const Section* found = FindSection(section);
    if (found == nullptr) {
        return nullptr;
    }
    key = Trim(key);
    for (const Entry& entry : found->entries) {
        if (SameName(entry.key, key)) {
            return &entry;
        }
    }
    return nullptr;
}

bool IniFile::HasKey(std::string_view section, std::string_view key) const {
    return FindEntry(section, key) != nullptr;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view def) const {
    const Entry* entry = FindEntry(section, key);
    return entry != nullptr ? entry->value : std::string(def);
}

std::int32_t IniFile::ReadInt(std::string_view section, std::string_view key,
                              std::int32_t def) const {
    const Entry* entry = FindEntry(section, key);
    if (entry == nullptr) {
        return def;
    }
    std::string_view text = entry->value;
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() < '0' || text.front() > '9') {
        return def;
    }
    // Accumulate in 64 bits and stop growing once past the 32-bit range.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        if (magnitude <= kLimit) {
            magnitude = magnitude * 10 + (c - '0');
        }
    }
    if (negative) {
        return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::min()
                                   : static_cast<std::int32_t>(-magnitude);
    }
    return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::max()
                               : static_cast<std::int32_t>(magnitude);
}

std::vector<std::string> IniFile::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    const Section* found = FindSection(section);
    if (found == nullptr) {
        return keys;
    }
    for (const Entry& entry : found->entries) {
        bool seen = false;
        for (const std::string& key : keys) {
            if (SameName(key, entry.key)) {
                seen = true;
                break;
            }
        }
        if (!seen) {
            keys.push_back(entry.key);
        }
    }
    return keys;
}

int IniFile::KeyLine(std::string_view section, std::string_view key) const {
    const Entry* entry = FindEntry(section, key);
    return entry != nullptr ? static_cast<int>(entry->line) + 1 : 0;
}

bool IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    if (!ValidSectionName(section) || !ValidKeyName(key) || HasLineBreak(value)) {
        return false;
    }
    if (!Load()) {
        return false;
    }
    const std::string encoded = EncodeValue(value);
    std::vector<std::string> lines = lines_;

    if (const Entry* entry = FindEntry(section, key)) {
        // Keep the key as the file spells it; only the value changes.
        lines[entry->line] = entry->key + "=" + encoded;
    } else if (const Section* found = FindSection(section)) {
        std::size_t at = found->end;
        while (at > found->header + 1 && Trim(lines[at - 1]).empty()) {
            --at;
        }
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at),
                     std::string(key) + "=" + encoded);
    } else {
        lines.push_back("[" + std::string(section) + "]");
        lines.push_back(std::string(key) + "=" + encoded);
    }
    return Store(std::move(lines));
}

bool IniFile::WriteInt(std::string_view section, std::string_view key, std::int32_t value) {
    return WriteString(section, key, std::to_string(value));
}

bool IniFile::EraseSection(std::string_view section) {
    if (!Load()) {
        return false;
    }
    section = Trim(section);
    std::vector<bool> drop(lines_.size(), false);
    bool any = false;
    for (const Section& found : sections_) {
        if (SameName(found.name, section)) {
            for (std::size_t i = found.header; i < found.end; ++i) {
                drop[i] = true;
            }
            any = true;
        }
    }
    if (!any) {
        return true;
    }
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (!drop[i]) {
            lines.push_back(lines_[i]);
        }
    }
    return Store(std::move(lines));
}

bool IniFile::Store(std::vector<std::string> lines) {
    std::string data;
    for (const std::string& line : lines) {
        data += line;
        data += "\r\n";
    }
    const std::string temp = path_ + ".tmp";
    std::error_code ec;
    if (!WriteWholeFile(temp, data)) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    if (exists_) {
        // Keep the access rights of the file being replaced.
        const auto perms = std::filesystem::status(path_, ec).permissions();
        if (!ec) {
            std::filesystem::permissions(temp, perms, ec);
        }
    }
    std::filesystem::rename(temp, path_, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    lines_ = std::move(lines);
    exists_ = true;
    Index();
    return true;
}

}  // namespace kv::platform
