// Path rules of the station: absolute paths, the separator and the folders
// the station keeps its files in.
#pragma once

#include <string>

namespace kv::platform {

inline constexpr char kPathSeparator = '/';

// True when `path` is absolute for this platform.
bool IsAbsolutePath(const std::string& path);

// Appends a separator when `folder` does not end with one; "" stays "".
std::string WithTrailingSeparator(const std::string& folder);

// `name` unchanged when absolute, otherwise `folder` + `name`.
std::string ResolveInFolder(const std::string& folder, const std::string& name);

// The settable values below are safe to read from any thread; a setter given ""
// returns to the default. References stay valid after a later set.

// The station folder (holding the settings, parts list and images), with a
// trailing separator. Defaults to the executable's folder.
const std::string& StationFolder();
void SetStationFolder(const std::string& folder);

// The machine override file (on Linux /etc/kvstation/pc.ini); tests redirect it.
const std::string& MachineFilePath();
void SetMachineFilePath(const std::string& path);

// Folder of the lock files behind named mutexes and the single-instance lock.
// Defaults to $KV_LOCK_DIR or /tmp/kvstation-locks; tests redirect it. The
// folder is created when the first lock file is made in it.
const std::string& LockFolder();
void SetLockFolder(const std::string& folder);

}  // namespace kv::platform
