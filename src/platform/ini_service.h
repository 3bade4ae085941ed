// The platform INI service: reads and writes small "[section]" / "key=value"
// text files the way the station's platform profile functions do. Used for the
// "LogPath" key of the settings file, the yield file, the layout file and the
// flash parts list.
//
// Reading rules:
// - Lines end with LF or CR LF; a UTF-8 byte-order mark at the start is skipped.
// - A line whose first non-blank character is ';' is a comment.
// - A line whose first non-blank character is '[' starts a section; its name is
//   the text up to the last ']' (or the end of the line when there is none).
// - Inside a section, "key = value": the key is the text before the first '=',
//   the value the text after it. Both are trimmed of blanks and tabs, and a value
//   enclosed in a pair of double quotes loses them. Lines without '=', lines with
//   an empty key and lines before the first section are ignored.
// - Section and key names are compared without regard to ASCII case; name
//   arguments are trimmed like the file's names.
// - The first section of a name is the one read, and in it the first line of a
//   key; later duplicates are kept in the file but not read.
// - A missing file reads as empty.
//
// Writing rules: every write first reads the file again, so that it applies to
// what is on disk now, then writes the whole file to a temporary file in the
// same folder and renames it over the old one (a crash leaves the old or the new
// file, never half of one). Every other line is kept as it was; all lines are
// written with CR LF. A file that exists but cannot be read is never written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv::platform {

class IniFile {
  public:
    // Reads the file at once; a missing or unreadable file reads as empty.
    explicit IniFile(std::string path);

    const std::string& Path() const { return path_; }
    // True when the file existed and was read at the last load or write.
    bool Exists() const { return exists_; }

    bool HasKey(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    // The value's integer: an optional '+' or '-' followed by decimal digits,
    // read up to the first other character ("12abc" is 12). A missing key or a
    // value without leading digits gives `def`; values beyond the 32-bit range
    // are clamped to it.
    std::int32_t ReadInt(std::string_view section, std::string_view key, std::int32_t def) const;
    // The key names of the section in file order, each name once (the spelling
    // of its first line). Empty when the section does not exist.
    std::vector<std::string> Keys(std::string_view section) const;
    // 1-based line number of the line `ReadString` takes the key from; 0 when
    // the key is missing.
    int KeyLine(std::string_view section, std::string_view key) const;

    // Replaces the value of the key's first line, or adds "key=value" after the
    // last non-blank line of the section's first occurrence, or adds the section
    // with the key at the end of the file. A value with leading or trailing
    // blanks, or one that starts and ends with '"', is written in double quotes
    // so that it reads back unchanged. Refuses (false, nothing written) names or
    // values that would break the line structure: a CR or LF anywhere, an empty
    // key, a key with '=' or starting with ';' or '[', a section with ']'.
    // False also on any I/O failure.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteInt(std::string_view section, std::string_view key, std::int32_t value);
    // Removes every occurrence of the section: its header and all lines up to
    // the next section. True also when there was nothing to remove (the file is
    // then left untouched); false on I/O failure.
    bool EraseSection(std::string_view section);

  private:
    struct Entry {
        std::string key;
        std::string value;
        std::size_t line = 0;  // index into lines_
    };
    struct Section {
        std::string name;
        std::size_t header = 0;  // index of the header line
        std::size_t end = 0;     // index one past the section's last line
        std::vector<Entry> entries;
    };

    // Reads the file into lines_; false when it exists but cannot be read.
    bool Load();
    void Index();
    // Writes `lines` as the file's new content and adopts them on success.
    bool Store(std::vector<std::string> lines);
    const Section* FindSection(std::string_view name) const;
    const Entry* FindEntry(std::string_view section, std::string_view key) const;

    std::string path_;
    bool exists_ = false;
    std::vector<std::string> lines_;
    std::vector<Section> sections_;
};

}  // namespace kv::platform
