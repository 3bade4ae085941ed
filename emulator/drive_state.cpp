#include "emulator/drive_state.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace kv::emu {
namespace {

bool ReadBlob(const std::filesystem::path& p, std::vector<std::uint8_t>& out, std::size_t max) {
    std::ifstream in(p, std::ios::binary);
    if (!in) {
        return false;
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (bytes.size() > max) {
        bytes.resize(max);
    }
    out = std::move(bytes);
    return true;
}

bool WriteAtomically(const std::filesystem::path& p, const void* data, std::size_t size) {
    const std::filesystem::path tmp = p.string() + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) {
            return false;
        }
        out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) {
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(tmp, p, ec);
    return !ec;
}

}  // namespace

bool DriveState::Open(const std::string& folder, bool& created, std::string& error) {
    namespace fs = std::filesystem;
    folder_ = folder;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        error = folder + ": cannot be created";
        return false;
    }
    const fs::path base(folder);
    std::ifstream in(base / "controller.txt");
    created = !in;
    if (in) {
        std::string line;
        while (std::getline(in, line)) {
            const auto eq = line.find('=');
            if (eq == std::string::npos) {
                continue;
            }
            const std::string key = line.substr(0, eq);
            const std::string value = line.substr(eq + 1);
            try {
                if (key == "MaxLba" && !value.empty()) {
                    maxLba = std::stoull(value);
                } else if (key == "PowerUps") {
                    powerUps = static_cast<std::uint32_t>(std::stoul(value));
                } else if (key == "SectorsWritten") {
                    sectorsWritten = std::stoull(value);
                } else if (key == "SectorsRead") {
                    sectorsRead = std::stoull(value);
                }
            } catch (const std::exception&) {
                error = (base / "controller.txt").string() + ": bad value for " + key;
                return false;
            }
        }
    }
    std::vector<std::uint8_t> log;
    if (ReadBlob(base / "log9a.bin", log, kLogPages * 512)) {
        log.resize(kLogPages * 512, 0);
        log9A = std::move(log);
    }
    ReadBlob(base / "erasecount.bin", eraseCountArea, 65536);
    ReadBlob(base / "smart.bin", smartSector, 512);
    return true;
}

bool DriveState::Save() {
    if (folder_.empty()) {
        return true;
    }
    namespace fs = std::filesystem;
    const fs::path base(folder_);
    std::ostringstream text;
    text << "MaxLba=" << (maxLba ? std::to_string(*maxLba) : std::string()) << "\n";
    text << "PowerUps=" << powerUps << "\n";
    text << "SectorsWritten=" << sectorsWritten << "\n";
    text << "SectorsRead=" << sectorsRead << "\n";
    const std::string s = text.str();
    bool ok = WriteAtomically(base / "controller.txt", s.data(), s.size());
    ok = WriteAtomically(base / "log9a.bin", log9A.data(), log9A.size()) && ok;
    if (!eraseCountArea.empty()) {
        ok = WriteAtomically(base / "erasecount.bin", eraseCountArea.data(),
                             eraseCountArea.size()) &&
             ok;
    }
    if (!smartSector.empty()) {
        ok = WriteAtomically(base / "smart.bin", smartSector.data(), smartSector.size()) && ok;
    }
    return ok;
}

}  // namespace kv::emu
