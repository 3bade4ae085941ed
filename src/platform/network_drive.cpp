// Network file systems are told apart by the statfs type; FUSE mounts all share
// one type, so for them the mount table decides whether it is sshfs.
#include "platform/network_drive.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/vfs.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <vector>

namespace kv::platform {
namespace {

constexpr std::uint32_t kNfsMagic = 0x6969;
constexpr std::uint32_t kSmbMagic = 0x517B;
constexpr std::uint32_t kCifsMagic = 0xFF534D42;
constexpr std::uint32_t kSmb2Magic = 0xFE534D42;
constexpr std::uint32_t kFuseMagic = 0x65735546;

// Mount points in mountinfo escape space, tab, newline and backslash as \ooo.
std::string UnescapeMountField(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
            field[i + 3] >= '0' && field[i + 3] <= '7') {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

// True when `mountPoint` is `path` or one of its parent folders.
bool HoldsPath(const std::string& mountPoint, const std::string& path) {
    if (mountPoint == "/") {
        return true;
    }
    if (path.compare(0, mountPoint.size(), mountPoint) != 0) {
        return false;
    }
    return path.size() == mountPoint.size() || path[mountPoint.size()] == '/';
}

}  // namespace

std::string MountTypeOf(const std::string& mountinfo, const std::string& path) {
    std::istringstream lines(mountinfo);
    std::string line;
    std::string bestType;
    std::size_t bestLength = 0;
    bool found = false;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::vector<std::string> words;
        std::string word;
        while (fields >> word) {
            words.push_back(word);
        }
        // id, parent, major:minor, root, mount point, options, optional fields,
        // "-", type, source, super options.
        if (words.size() < 7) {
            continue;
        }
        std::size_t dash = 6;
        while (dash < words.size() && words[dash] != "-") {
            ++dash;
        }
        if (dash + 1 >= words.size()) {
            continue;
        }
        const std::string mountPoint = UnescapeMountField(words[4]);
        if (!HoldsPath(mountPoint, path)) {
            continue;
        }
        // Later mounts on the same point cover the earlier ones.
        if (!found || mountPoint.size() >= bestLength) {
            found = true;
            bestLength = mountPoint.size();
            bestType = words[dash + 1];
        }
    }
    return bestType;
}

bool IsNetworkFileSystem(const std::string& folder) {
    struct statfs info {};
    if (folder.empty() || statfs(folder.c_str(), &info) != 0) {
        return false;
    }
    const auto type = static_cast<std::uint32_t>(info.f_type);
    if (type == kNfsMagic || type == kSmbMagic || type == kCifsMagic || type == kSmb2Magic) {
        return true;
    }
    if (type != kFuseMagic) {
        return false;
    }
    char resolved[PATH_MAX];
    if (realpath(folder.c_str(), resolved) == nullptr) {
        return false;
    }
    std::ifstream table("/proc/self/mountinfo");
    std::ostringstream text;
    text << table.rdbuf();
    return MountTypeOf(text.str(), resolved) == "fuse.sshfs";
}

}  // namespace kv::platform
