// The settings file's text image and its own small reader and writer.
//
// The whole settings file is held in memory as one text image with LF line
// ends. Keys are read from it and edited in it one at a time; a save writes the
// complete image back, so keys nobody writes survive exactly as loaded.
//
// Format rules kept by this reader and writer:
// - a section starts at the first line that is exactly "[" name "]";
// - a key line is name "=" value, the value being everything after the first
//   "=", nothing trimmed;
// - a key matches a line whose first characters equal the key name (compared
//   over the key's length, case-sensitive); the first matching line wins;
// - a line that matches a key but holds no "=" has an empty value;
// - CR characters are ignored; a last line without line end is seen only when
//   it holds "=", and is lost at the next rewrite otherwise.
//
// The image never holds more than kSettingsTextSize - 1 characters, and input
// whose lines are longer than the readers take is refused, never cut.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv::config {

// Size of the image including its terminating zero.
inline constexpr std::size_t kSettingsTextSize = 16384;
// Longest line the integer readers take.
inline constexpr std::size_t kIntLineLimit = 258;
// Longest line the string reader takes, and the longest line the image holds.
inline constexpr std::size_t kStringLineLimit = 335;

// The first refusal met since the image was loaded or set.
struct TextError {
    bool failed = false;
    int line = 0;  // 1-based line number in the file/image, 0 when not line-bound
    std::string reason;
};

class SettingsText {
  public:
    // Clears the image and fills it with the file's content. A missing file
    // leaves the image empty and is not an error. CR LF pairs are read as LF.
    // A file over kSettingsTextSize - 1 characters (after that), with a line
    // over kStringLineLimit characters or holding a NUL byte is refused, as is
    // a file that exists but cannot be read: false, error() says why, and the
    // image stays empty.
    bool Load(const std::string& path);
    // Takes `text` as the image, as it stands, with the checks of Load.
    bool SetImage(std::string_view text);

    // The readers give the default when the section or key is missing. A line
    // read on the way to the key that is longer than the reader takes is
    // recorded in error() and the default is given.
    std::int32_t ReadIniInt(std::string_view section, std::string_view key, std::int32_t def);
    std::uint64_t ReadIniUInt64(std::string_view section, std::string_view key, std::uint64_t def);
    // Fills dest (capacity bytes, always terminated when capacity > 0) with the
    // value, or the default, cut to capacity - 1 characters; gives its length.
    std::size_t ReadIniString(std::string_view section, std::string_view key, std::string_view def,
                              std::size_t capacity, char* dest);

    // Edit the image only. False, with the image unchanged and error() set,
    // when the new image would not fit kSettingsTextSize with its terminator,
    // when the key's line would be longer than kStringLineLimit, or when the
    // section, key or value holds a line end: the caller abandons the save.
    // Texts end at their first NUL, as C strings would.
    bool WriteIniString(std::string_view section, std::string_view key, std::string_view value);
    bool WriteIniInt(std::string_view section, std::string_view key, std::int32_t value);
    bool WriteIniUInt64(std::string_view section, std::string_view key, std::uint64_t value);

    // Writes the whole image, replacing the file, every LF written as CR LF.
    // False when the file cannot be written (error() says why).
    bool Store(const std::string& path);

    const std::string& image() const { return image_; }  // LF line ends, no terminator
    const TextError& error() const { return error_; }

  private:
    // Records the first refusal; later ones leave it as it is.
    void Fail(int line, std::string reason);
    // Takes `text` as the image after the format checks; empty image on refusal.
    bool Accept(std::string text);
    // The value of the key's line, or nothing when the section or key is
    // missing or a line over `lineLimit` was met on the way.
    bool FindValue(std::string_view section, std::string_view key, std::size_t lineLimit,
                   std::string& value);

    std::string image_;
    TextError error_;
};

}  // namespace kv::config
