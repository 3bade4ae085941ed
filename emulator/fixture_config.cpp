#include "emulator/fixture_config.h"

#include "emulator/config_text.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "emulator/nand_geometry.h"

namespace kv::emu {

std::string LocationText(const std::vector<int>& location) {
    std::string text;
    for (std::size_t i = 0; i < location.size(); ++i) {
        if (i > 0) {
            text += '.';
        }
        text += std::to_string(location[i]);
    }
    return text;
}

namespace {

constexpr std::size_t kMaxDepth = 7;  // a root hub port and up to six hub tiers
constexpr int kMaxHubPorts = 127;

std::string Lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto at = s.find(sep, start);
        parts.push_back(
            TrimText(s.substr(start, at == std::string::npos ? std::string::npos : at - start)));
        if (at == std::string::npos) {
            return parts;
        }
        start = at + 1;
    }
}

bool ParseInt(const std::string& text, int min, int max, int& out) {
    std::uint64_t v = 0;
    if (!ParseUnsigned(text, static_cast<std::uint64_t>(max), v) ||
        v < static_cast<std::uint64_t>(min)) {
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

bool ParseReal(const std::string& text, double& out) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v) || v < 0) {
        return false;
    }
    out = v;
    return true;
}

bool ParseLocation(const std::string& text, std::vector<int>& out) {
    out.clear();
    for (const std::string& part : Split(text, '.')) {
        int n = 0;
        if (!ParseInt(part, 1, 255, n)) {
            return false;
        }
        out.push_back(n);
    }
    return out.size() >= 2 && out.size() <= kMaxDepth;
}

bool ParseBlockAddress(const std::string& text, BlockAddress& out) {
    const auto parts = Split(text, '.');
    return parts.size() == 3 && ParseInt(parts[0], 0, 7, out.channel) &&
           ParseInt(parts[1], 0, 7, out.chipEnable) && ParseInt(parts[2], 0, 65535, out.block);
}

// "12" or "12,0.0.2,1.0.3": a count, then blocks asked for by address.
bool ParseBadBlocks(const std::string& text, int& count, std::vector<BlockAddress>& blocks) {
    const auto parts = Split(text, ',');
    if (!ParseInt(parts[0], 0, 65535, count)) {
        return false;
    }
    blocks.clear();
    for (std::size_t i = 1; i < parts.size(); ++i) {
        BlockAddress a;
        if (!ParseBlockAddress(parts[i], a)) {
            return false;
        }
        blocks.push_back(a);
    }
    return true;
}

bool ParseFlashId(const std::string& text, std::array<std::uint8_t, 5>& out) {
    std::string spaced = text;
    for (char& c : spaced) {
        if (c == ',') {
            c = ' ';
        }
    }
    std::istringstream in(spaced);
    std::string token;
    std::size_t n = 0;
    while (in >> token) {
        if (n == out.size()) {
            return false;
        }
        std::string digits = token;
        if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
            digits = digits.substr(2);
        }
        std::uint64_t v = 0;
        if (digits.empty() || digits.size() > 2 || !ParseUnsigned("0x" + digits, 0xFF, v)) {
            return false;
        }
        out[n++] = static_cast<std::uint8_t>(v);
    }
    return n == out.size();
}

bool ValidName(const std::string& name) {
    if (name.empty() || name.size() > 64 || name == "." || name == "..") {
        return false;
    }
    for (char c : name) {
        const bool ok =
            std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
        if (!ok) {
            return false;
        }
    }
    return true;
}

struct Parser {
    std::string path;
    std::string error;

    bool Fail(int line, const std::string& where, const std::string& message) {
        error = path + ":" + std::to_string(line) + ": " + where + ": " + message;
        return false;
    }
};

// Splits "key = value ; comment" into its parts; a quoted value keeps its
// blanks and may contain ';'.
bool SplitKeyValue(const std::string& line, std::string& key, std::string& value) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) {
        return false;
    }
    key = TrimText(line.substr(0, eq));
    std::string rest = line.substr(eq + 1);
    std::size_t b = 0;
    while (b < rest.size() && std::isspace(static_cast<unsigned char>(rest[b]))) {
        ++b;
    }
    if (b < rest.size() && rest[b] == '"') {
        const auto close = rest.find('"', b + 1);
        if (close == std::string::npos) {
            return false;
        }
        value = rest.substr(b + 1, close - b - 1);
        const std::string tail = TrimText(rest.substr(close + 1));
        return tail.empty() || tail[0] == ';' || tail[0] == '#';
    }
    const auto comment = rest.find(';');
    value = TrimText(rest.substr(0, comment));
    return true;
}

struct Section {
    enum class Kind { Fixture, Hub, Drive } kind = Kind::Fixture;
    int line = 0;
    std::string title;  // "[Drive 1.2]" as written, for messages
    std::vector<int> location;
    std::map<std::string, std::pair<std::string, int>> keys;  // lower-case key -> value, line
    std::map<std::string, std::string> keyNames;              // lower-case key -> as written
};

bool BuildDrive(Parser& p, const Section& s, DriveProfile& d) {
    d.location = s.location;
    d.name = LocationText(s.location);
    auto where = [&](const std::string& lowerKey) {
        return s.title + " " + s.keyNames.at(lowerKey);
    };
    int typeLine = s.line;
    int channelLine = s.line;
    int bankLine = s.line;
    int factoryLine = s.line;
    int grownLine = s.line;
    int faultLine = s.line;
    for (const auto& [key, entry] : s.keys) {
        const std::string& v = entry.first;
        const int line = entry.second;
        bool ok = true;
        if (key == "name") {
            ok = ValidName(v);
            d.name = v;
        } else if (key == "bridge") {
            ok = ParseBridgeCode(v, d.bridge);
        } else if (key == "boot") {
            const std::string b = Lower(v);
            ok = b == "loader" || b == "firmware";
            d.boot = b == "firmware" ? BootState::Firmware : BootState::Loader;
        } else if (key == "flashid") {
            ok = ParseFlashId(v, d.flashId);
        } else if (key == "typeword") {
            int t = 0;
            ok = ParseInt(v, 0, 0xFFFF, t);
            d.typeWord = static_cast<std::uint16_t>(t);
            typeLine = line;
        } else if (key == "channels") {
            ok = ParseInt(v, 1, 8, d.channels);
            channelLine = line;
        } else if (key == "banks") {
            ok = ParseInt(v, 1, 8, d.banks);
            bankLine = line;
        } else if (key == "factorybad") {
            ok = ParseBadBlocks(v, d.factoryBadPerDie, d.factoryBadBlocks);
            factoryLine = line;
        } else if (key == "grownbad") {
            ok = ParseBadBlocks(v, d.grownBad, d.grownBadBlocks);
            grownLine = line;
        } else if (key == "temperature") {
            ok = ParseInt(v, 0, 255, d.temperature);
        } else if (key == "sataspeed") {
            int speed = 0;
            ok = ParseInt(v, 0, 255, speed);
            d.sataSpeed = static_cast<std::uint8_t>(speed);
        } else if (key == "usersectors") {
            ok = ParseUnsigned(v, (1ull << 48) - 1, d.userSectors) && d.userSectors > 0;
        } else if (key == "rdt") {
            const std::string r = Lower(v);
            static const std::pair<const char*, RdtRecord> kRdt[] = {
                {"none", RdtRecord::None},
                {"pass", RdtRecord::Pass},
                {"p05", RdtRecord::P05},
                {"p06", RdtRecord::P06},
                {"p07", RdtRecord::P07},
                {"lts-pass", RdtRecord::LtsPass},
                {"lts-notrun", RdtRecord::LtsNotRun},
                {"lts-fail", RdtRecord::LtsFail}};
            ok = false;
            for (const auto& [text, value] : kRdt) {
                if (r == text) {
                    d.rdt = value;
                    ok = true;
                }
            }
        } else if (key == "rdtserial") {
            ok = !v.empty() && v.size() <= 31;
            for (char c : v) {
                ok = ok && c > 0x20 && c < 0x7F;
            }
            d.rdtSerial = v;
        } else if (key == "volumedelay") {
            if (Lower(v) == "never") {
                d.volumeDelaySeconds.reset();
            } else {
                double seconds = 0;
                ok = ParseReal(v, seconds) && seconds <= 86400.0;
                d.volumeDelaySeconds = seconds;
            }
        } else if (key == "fault") {
            std::string why;
            if (!ParseFaultList(v, d.faults, why)) {
                return p.Fail(line, where(key), why);
            }
            faultLine = line;
        } else {
            return p.Fail(line, s.title + " " + s.keyNames.at(key), "unknown key");
        }
        if (!ok) {
            return p.Fail(line, where(key), "bad value '" + v + "'");
        }
    }
    // Checks that need the whole section.
    const auto geometry = GeometryFromTypeWord(d.typeWord, d.channels, d.banks);
    if (!geometry) {
        const int line = s.keys.count("typeword") ? typeLine : s.line;
        return p.Fail(line, s.title + " TypeWord", "type word gives no flash geometry");
    }
    (void)channelLine;
    (void)bankLine;
    const NandGeometry& g = *geometry;
    if (d.factoryBadPerDie > g.blocksPerDie() / 2) {
        return p.Fail(factoryLine, s.title + " FactoryBad", "more bad blocks than half a die");
    }
    if (d.grownBad > g.blocksPerCe / 2) {
        return p.Fail(grownLine, s.title + " GrownBad", "more bad blocks than half a chip enable");
    }
    auto inRange = [&](const BlockAddress& a) {
        return a.channel < g.channels && a.chipEnable < g.chipEnables && a.block < g.blocksPerCe;
    };
    for (const BlockAddress& a : d.factoryBadBlocks) {
        if (!inRange(a)) {
            return p.Fail(factoryLine, s.title + " FactoryBad", "block outside the flash");
        }
    }
    for (const BlockAddress& a : d.grownBadBlocks) {
        if (!inRange(a)) {
            return p.Fail(grownLine, s.title + " GrownBad", "block outside the flash");
        }
    }
    for (const Fault& f : d.faults) {
        if (f.kind == FaultKind::IdMismatch &&
            (f.first >= g.channels || f.second >= g.chipEnables)) {
            return p.Fail(faultLine, s.title + " Fault", "no chip enable " + f.text.substr(12));
        }
    }
    if (d.userSectors == 0) {
        d.userSectors = DefaultUserSectors(g);
    }
    return true;
}

}  // namespace

std::optional<FixtureConfig> ParseFixtureConfig(const std::string& text, const std::string& path,
                                                std::string& error) {
    Parser p;
    p.path = path;
    std::vector<Section> sections;
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    while (std::getline(in, raw)) {
        ++lineNo;
        if (!raw.empty() && raw.back() == '\r') {
            raw.pop_back();
        }
        const std::string line = TrimText(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            continue;
        }
        if (line[0] == '[') {
            const auto close = line.find(']');
            const std::string after =
                close == std::string::npos ? "" : TrimText(line.substr(close + 1));
            if (close == std::string::npos ||
                (!after.empty() && after[0] != ';' && after[0] != '#')) {
                p.Fail(lineNo, line, "malformed section header");
                error = p.error;
                return std::nullopt;
            }
            Section s;
            s.line = lineNo;
            s.title = line.substr(0, close + 1);
            const std::string inner = TrimText(line.substr(1, close - 1));
            const auto blank = inner.find_first_of(" \t");
            const std::string kind = Lower(inner.substr(0, blank));
            const std::string arg = blank == std::string::npos ? "" : TrimText(inner.substr(blank));
            if (kind == "fixture" && arg.empty()) {
                s.kind = Section::Kind::Fixture;
            } else if ((kind == "hub" || kind == "drive") && ParseLocation(arg, s.location)) {
                s.kind = kind == "hub" ? Section::Kind::Hub : Section::Kind::Drive;
            } else {
                p.Fail(lineNo, s.title, "unknown section");
                error = p.error;
                return std::nullopt;
            }
            for (const Section& other : sections) {
                const bool same = other.kind == s.kind && other.location == s.location;
                const bool clash = !s.location.empty() && other.location == s.location;
                if (same || clash) {
                    p.Fail(lineNo, s.title,
                           "repeats the location of " + other.title + " (line " +
                               std::to_string(other.line) + ")");
                    error = p.error;
                    return std::nullopt;
                }
            }
            sections.push_back(s);
            continue;
        }
        std::string key;
        std::string value;
        if (!SplitKeyValue(line, key, value) || key.empty()) {
            p.Fail(lineNo, sections.empty() ? std::string("(no section)") : sections.back().title,
                   "not a key=value line");
            error = p.error;
            return std::nullopt;
        }
        if (sections.empty()) {
            p.Fail(lineNo, key, "key outside a section");
            error = p.error;
            return std::nullopt;
        }
        Section& s = sections.back();
        const std::string lower = Lower(key);
        if (s.keys.count(lower)) {
            p.Fail(lineNo, s.title + " " + key,
                   "repeats line " + std::to_string(s.keys[lower].second));
            error = p.error;
            return std::nullopt;
        }
        s.keys[lower] = {value, lineNo};
        s.keyNames[lower] = key;
    }

    FixtureConfig config;
    config.path = path;
    const std::filesystem::path file(path);
    std::string folder = file.parent_path().string();
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    config.folder = folder;
    std::string stateDir = "fixture";

    // The [Fixture] section first: the hubs' port counts decide which
    // locations exist.
    for (const Section& s : sections) {
        if (s.kind != Section::Kind::Fixture) {
            continue;
        }
        for (const auto& [key, entry] : s.keys) {
            const std::string& v = entry.first;
            const std::string where = s.title + " " + s.keyNames.at(key);
            bool ok = true;
            if (key == "roothubs") {
                config.rootHubs.clear();
                for (const std::string& part : Split(v, ',')) {
                    int ports = 0;
                    ok = ok && ParseInt(part, 1, kMaxHubPorts, ports);
                    config.rootHubs.push_back(ports);
                }
                ok = ok && config.rootHubs.size() <= 64;
            } else if (key == "timescale") {
                ok = ParseReal(v, config.timeScale) && config.timeScale <= 1000.0;
            } else if (key == "statedir") {
                ok = !v.empty();
                stateDir = v;
            } else if (key == "seed") {
                ok = ParseUnsigned(v, ~0ull, config.seed);
            } else {
                p.Fail(entry.second, where, "unknown key");
                error = p.error;
                return std::nullopt;
            }
            if (!ok) {
                p.Fail(entry.second, where, "bad value '" + v + "'");
                error = p.error;
                return std::nullopt;
            }
        }
    }
    const std::filesystem::path state(stateDir);
    config.stateDir = state.is_absolute() ? state.string() : (file.parent_path() / state).string();

    std::map<std::vector<int>, int> hubPorts;  // location -> port count
    for (const Section& s : sections) {
        if (s.kind != Section::Kind::Hub) {
            continue;
        }
        HubLayout hub;
        hub.location = s.location;
        for (const auto& [key, entry] : s.keys) {
            const std::string where = s.title + " " + s.keyNames.at(key);
            if (key != "ports") {
                p.Fail(entry.second, where, "unknown key");
                error = p.error;
                return std::nullopt;
            }
            if (!ParseInt(entry.first, 1, kMaxHubPorts, hub.ports)) {
                p.Fail(entry.second, where, "bad value '" + entry.first + "'");
                error = p.error;
                return std::nullopt;
            }
        }
        hubPorts[hub.location] = hub.ports;
        config.hubs.push_back(hub);
    }

    // Every hub and drive must hang on a port that exists.
    auto checkPlace = [&](const Section& s) {
        const std::vector<int>& loc = s.location;
        const int root = loc[0];
        if (root > static_cast<int>(config.rootHubs.size())) {
            return p.Fail(s.line, s.title,
                          "there is no root hub " + std::to_string(root) + " (RootHubs has " +
                              std::to_string(config.rootHubs.size()) + ")");
        }
        int ports = config.rootHubs[static_cast<std::size_t>(root - 1)];
        std::vector<int> prefix = {root};
        for (std::size_t i = 1; i < loc.size(); ++i) {
            if (loc[i] > ports) {
                return p.Fail(s.line, s.title,
                              "port " + std::to_string(loc[i]) + " does not exist (hub " +
                                  LocationText(prefix) + " has " + std::to_string(ports) +
                                  " ports)");
            }
            prefix.push_back(loc[i]);
            if (i + 1 < loc.size()) {
                const auto hub = hubPorts.find(prefix);
                if (hub == hubPorts.end()) {
                    return p.Fail(s.line, s.title, "no hub on port " + LocationText(prefix));
                }
                ports = hub->second;
            }
        }
        return true;
    };
    for (const Section& s : sections) {
        if (s.kind != Section::Kind::Fixture && !checkPlace(s)) {
            error = p.error;
            return std::nullopt;
        }
    }

    std::map<std::string, std::string> names;  // drive name -> section title
    for (const Section& s : sections) {
        if (s.kind != Section::Kind::Drive) {
            continue;
        }
        DriveProfile d;
        if (!BuildDrive(p, s, d)) {
            error = p.error;
            return std::nullopt;
        }
        if (names.count(d.name)) {
            const int line = s.keys.count("name") ? s.keys.at("name").second : s.line;
            p.Fail(line, s.title + " Name",
                   "the name '" + d.name + "' is used by " + names[d.name] + " as well");
            error = p.error;
            return std::nullopt;
        }
        names[d.name] = s.title;
        config.drives.push_back(d);
    }
    (void)kMaxDepth;
    return config;
}

std::optional<FixtureConfig> LoadFixtureConfig(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParseFixtureConfig(text.str(), path, error);
}

}  // namespace kv::emu
