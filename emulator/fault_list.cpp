#include "emulator/fault_list.h"

#include "emulator/config_text.h"

#include <cctype>

namespace kv::emu {
namespace {

bool ParsePair(const std::string& text, int maxFirst, int maxSecond, int& a, int& b) {
    const auto dot = text.find('.');
    if (dot == std::string::npos) {
        return false;
    }
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    if (!ParseUnsigned(text.substr(0, dot), static_cast<std::uint64_t>(maxFirst), x) ||
        !ParseUnsigned(text.substr(dot + 1), static_cast<std::uint64_t>(maxSecond), y)) {
        return false;
    }
    a = static_cast<int>(x);
    b = static_cast<int>(y);
    return true;
}

}  // namespace

bool ParseDriveEvent(const std::string& text, DriveEvent& out) {
    if (text == "write") {
        out = {DriveEvent::Kind::FirstWrite, 0};
        return true;
    }
    if (text == "power") {
        out = {DriveEvent::Kind::PowerUp, 0};
        return true;
    }
    if (text.size() == 8 && text.compare(0, 7, "program") == 0 && text[7] >= '1' &&
        text[7] <= '4') {
        out = {DriveEvent::Kind::ProgramStart, text[7] - '0'};
        return true;
    }
    std::uint64_t code = 0;
    if (text.size() >= 3 && text.size() <= 4 && text[0] == '0' &&
        (text[1] == 'x' || text[1] == 'X') && ParseUnsigned(text, 0xFF, code)) {
        out = {DriveEvent::Kind::SubCode, static_cast<int>(code)};
        return true;
    }
    return false;
}

bool ParseFaultList(const std::string& value, std::vector<Fault>& out, std::string& error) {
    out.clear();
    std::size_t start = 0;
    while (start <= value.size()) {
        const auto comma = value.find(',', start);
        const std::string entry = TrimText(
            value.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        start = comma == std::string::npos ? value.size() + 1 : comma + 1;
        if (entry.empty()) {
            if (value.find_first_not_of(" \t") == std::string::npos) {
                break;  // an empty list: no faults
            }
            error = "empty fault entry";
            return false;
        }
        const auto colon = entry.find(':');
        const std::string name = entry.substr(0, colon);
        const std::string arg =
            colon == std::string::npos ? std::string() : entry.substr(colon + 1);
        const bool hasArg = colon != std::string::npos;
        Fault f;
        f.text = entry;
        bool ok = true;
        std::uint64_t n = 0;
        if (name == "id-mismatch") {
            f.kind = FaultKind::IdMismatch;
            ok = hasArg && ParsePair(arg, 7, 7, f.first, f.second);
        } else if (name == "bad-over-ratio") {
            f.kind = FaultKind::BadOverRatio;
            ok = !hasArg;
        } else if (name == "dram-fail") {
            f.kind = FaultKind::DramFail;
            ok = !hasArg;
        } else if (name == "flash-if-fail") {
            f.kind = FaultKind::FlashIfFail;
            ok = hasArg && ParseUnsigned(arg, 0xFF, n);
            f.first = static_cast<int>(n);
        } else if (name == "handshake-fail") {
            f.kind = FaultKind::HandshakeFail;
            ok = !hasArg || (ParseUnsigned(arg, 1000000, n) && n > 0);
            f.first = static_cast<int>(n);
        } else if (name == "read-error" || name == "write-error" || name == "miscompare") {
            f.kind = name == "read-error"    ? FaultKind::ReadError
                     : name == "write-error" ? FaultKind::WriteError
                                             : FaultKind::Miscompare;
            ok = hasArg && ParseUnsigned(arg, (1ull << 48) - 1, f.lba);
        } else if (name == "table-damage") {
            f.kind = FaultKind::TableDamage;
            ok = hasArg && ParsePair(arg, 3, 61, f.first, f.second);
        } else if (name == "hang" || name == "busy" || name == "unplug") {
            f.kind = name == "hang"   ? FaultKind::Hang
                     : name == "busy" ? FaultKind::Busy
                                      : FaultKind::Unplug;
            ok = hasArg && ParseDriveEvent(arg, f.event);
        } else {
            error = "unknown fault '" + entry + "'";
            return false;
        }
        if (!ok) {
            error = "bad fault '" + entry + "'";
            return false;
        }
        out.push_back(f);
    }
    return true;
}

}  // namespace kv::emu
