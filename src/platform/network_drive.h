// Recognising folders that lie on a network file system, for the station's
// refusal to run from a network drive.
#pragma once

#include <string>

namespace kv::platform {

// True when `folder` lies on NFS, CIFS/SMB or an sshfs mount.
bool IsNetworkFileSystem(const std::string& folder);

// The file-system type ("ext4", "fuse.sshfs" ...) of the mount holding the
// absolute path `path`, taken from the text of a mountinfo table; "" when no
// mount holds it.
std::string MountTypeOf(const std::string& mountinfo, const std::string& path);

}  // namespace kv::platform
