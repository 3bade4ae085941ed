// The fixture file ("Fixture.ini"): which hubs and drives make up the virtual
// fixture, and how they behave.
//
//   [Fixture]            RootHubs=8,4 (port counts; default one root hub of 8)
//                        TimeScale=0.001 (default 1 = real time; 0 = no waits)
//                        StateDir=fixture (default; relative to the file)
//                        Seed=7 (default 1)
//   [Hub 1.3]            Ports=4 (default 4)
//   [Drive 1.2]          the keys of DriveProfile (drive_profile.h)
//
// Values may carry a trailing "; comment"; a value in double quotes is taken
// as written (for bridge codes with blanks). Section and key names are
// compared without regard to case. Unknown sections and keys, bad values,
// repeated keys or sections, and hubs or drives on ports that do not exist
// are refused with the file, line and key named.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "emulator/drive_profile.h"

namespace kv::emu {

struct HubLayout {
    std::vector<int> location;
    int ports = 4;
};

struct FixtureConfig {
    std::string path;    // the file it was read from
    std::string folder;  // its folder, with a trailing separator
    std::vector<int> rootHubs = {8};
    double timeScale = 1.0;
    std::string stateDir;  // resolved against the file's folder
    std::uint64_t seed = 1;
    std::vector<HubLayout> hubs;
    std::vector<DriveProfile> drives;
};

std::optional<FixtureConfig> LoadFixtureConfig(const std::string& path, std::string& error);
// The same from text, with `path` used in messages and to resolve StateDir.
std::optional<FixtureConfig> ParseFixtureConfig(const std::string& text, const std::string& path,
                                                std::string& error);

}  // namespace kv::emu
