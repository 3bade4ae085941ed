#include "platform/network_drive.h"

#include <gtest/gtest.h>

#include <string>

namespace kv::platform {
namespace {

TEST(NetworkDriveTest, MountTypeOfFindsTheInnermostMount) {
    const std::string table =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "40 22 0:45 / /home/op/remote rw,nosuid shared:20 - fuse.sshfs op@host:/ rw\n"
        "41 22 0:46 / /mnt/line\\0403 rw - cifs //srv/line3 rw\n"
        "42 22 0:47 / /mnt/stack rw - nfs4 srv:/a rw\n"
        "43 22 0:48 / /mnt/stack rw - tmpfs tmpfs rw\n"
        "broken line\n"
        "44 22 0:49 / /mnt/nodash rw shared:1 tmpfs x rw\n";
    struct Case {
        std::string path;
        std::string type;
    };
    const Case cases[] = {
        {"/", "ext4"},
        {"/home/op", "ext4"},
        {"/home/op/remote", "fuse.sshfs"},
        {"/home/op/remote/station", "fuse.sshfs"},
        {"/home/op/remoteX", "ext4"},     // a name sharing a prefix is another folder
        {"/mnt/line 3/station", "cifs"},  // escaped space in the mount point
        {"/mnt/stack/x", "tmpfs"},        // the later mount covers the earlier
        {"/mnt/nodash/x", "ext4"},        // a line without the separator is skipped
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MountTypeOf(table, c.path), c.type) << c.path;
    }
    EXPECT_EQ(MountTypeOf("", "/x"), "");
}

}  // namespace
}  // namespace kv::platform
