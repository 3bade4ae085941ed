// Feeds arbitrary text to the settings text layer as an image, then a mix of
// reads and writes with sections, keys and values taken from the input, and
// checks that the image stays within its limits and that writes read back.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "config/settings_text.h"

namespace {

using kv::config::SettingsText;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

std::string_view UpToNul(std::string_view text) {
    return text.substr(0,
                       text.find('\0') == std::string_view::npos ? text.size() : text.find('\0'));
}

bool HasLineEnd(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Section, key and value a write must read back unchanged.
bool Plain(std::string_view section, std::string_view key, std::string_view value) {
    return !HasLineEnd(section) && !HasLineEnd(key) && !HasLineEnd(value) &&
           key.find('=') == std::string_view::npos && (key.empty() || key.front() != '[');
}

// The image stays loadable: within the size limit and no line the string
// reader would refuse.
void CheckImage(const SettingsText& text) {
    Check(text.image().size() < kv::config::kSettingsTextSize, "image exceeds the limit");
    SettingsText copy;
    Check(copy.SetImage(text.image()), "image no longer loadable");
}

std::string ReadBack(SettingsText& text, std::string_view section, std::string_view key) {
    char dest[kv::config::kStringLineLimit + 1];
    const std::size_t length = text.ReadIniString(section, key, "\x01missing", sizeof dest, dest);
    return std::string(dest, length);
}

void Write(SettingsText& text, std::string_view section, std::string_view key,
           const std::string& value, int kind, std::int64_t number) {
    const std::string before = text.image();
    bool written = false;
    if (kind == 0) {
        written = text.WriteIniString(section, key, value);
    } else if (kind == 1) {
        written = text.WriteIniInt(section, key, static_cast<std::int32_t>(number));
    } else {
        written = text.WriteIniUInt64(section, key, static_cast<std::uint64_t>(number));
    }
    if (!written) {
        Check(text.image() == before, "refused write changed the image");
        Check(text.error().failed, "refused write without error");
        return;
    }
    CheckImage(text);
    section = UpToNul(section);
    key = UpToNul(key);
    const std::string expected = kind == 0   ? std::string(UpToNul(value))
                                 : kind == 1 ? std::to_string(static_cast<std::int32_t>(number))
                                             : std::to_string(static_cast<std::uint64_t>(number));
    if (!Plain(section, key, expected)) {
        return;
    }
    Check(ReadBack(text, section, key) == expected, "written value not read back");
    if (kind == 1 && !text.error().failed) {
        const auto wanted = static_cast<std::int32_t>(number);
        const std::int32_t got = text.ReadIniInt(section, key, wanted ^ 1);
        Check(got == wanted || text.error().failed, "written integer not read back");
    }
    if (kind == 2 && !text.error().failed) {
        const auto wanted = static_cast<std::uint64_t>(number);
        const std::uint64_t got = text.ReadIniUInt64(section, key, wanted ^ 1U);
        Check(got == wanted || text.error().failed, "written 64-bit integer not read back");
    }
    // Writing the same again changes nothing.
    const std::string once = text.image();
    Check(text.WriteIniString(section, key, expected), "repeated write refused");
    Check(text.image() == once, "repeated write changed the image");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    SettingsText text;
    const std::string image = input.ConsumeRandomLengthString(20000);
    const bool accepted = text.SetImage(image);
    Check(accepted != text.error().failed, "result and error disagree");
    Check(accepted ? text.image() == image : text.image().empty(), "image after SetImage");
    CheckImage(text);

    for (int step = 0; step < 48 && input.remaining_bytes() > 0; ++step) {
        const int op = input.ConsumeIntegralInRange(0, 5);
        const std::string section = input.ConsumeRandomLengthString(24);
        const std::string key = input.ConsumeRandomLengthString(24);
        switch (op) {
            case 0:
                text.ReadIniInt(section, key, 0);
                break;
            case 1:
                text.ReadIniUInt64(section, key, 0);
                break;
            case 2: {
                const std::size_t capacity = input.ConsumeIntegralInRange<std::size_t>(0, 64);
                const std::string def = input.ConsumeRandomLengthString(80);
                char dest[80];
                std::memset(dest, 'X', sizeof dest);
                const std::size_t length = text.ReadIniString(section, key, def, capacity, dest);
                if (capacity == 0) {
                    Check(length == 0 && dest[0] == 'X', "capacity 0 wrote");
                } else {
                    Check(length < capacity, "string longer than capacity");
                    Check(dest[length] == '\0', "string not terminated");
                    Check(std::strlen(dest) == length, "length disagrees with string");
                }
                for (std::size_t i = capacity; i < sizeof dest; ++i) {
                    Check(dest[i] == 'X', "written past capacity");
                }
                break;
            }
            case 3:
                Write(text, section, key, input.ConsumeRandomLengthString(400), 0, 0);
                break;
            case 4:
                Write(text, section, key, {}, 1, input.ConsumeIntegral<std::int32_t>());
                break;
            default:
                Write(text, section, key, {}, 2,
                      static_cast<std::int64_t>(input.ConsumeIntegral<std::uint64_t>()));
                break;
        }
        CheckImage(text);
    }
    return 0;
}
