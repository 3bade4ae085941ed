#include "platform/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace kv::platform {
namespace {

TEST(PathsTest, PathRules) {
    struct Case {
        std::string folder;
        std::string name;
        bool nameAbsolute;
        std::string withSeparator;
        std::string resolved;
    };
    const Case cases[] = {
        {"/opt/station", "Flash.ini", false, "/opt/station/", "/opt/station/Flash.ini"},
        {"/opt/station/", "log/a.txt", false, "/opt/station/", "/opt/station/log/a.txt"},
        {"/opt/station", "/etc/kvstation/pc.ini", true, "/opt/station/", "/etc/kvstation/pc.ini"},
        {"rel", "GDP.bin", false, "rel/", "rel/GDP.bin"},
        {"/", "x", false, "/", "/x"},
        {"", "DbgMsg.txt", false, "", "DbgMsg.txt"},  // no folder: stays relative
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder + " | " + c.name);
        EXPECT_EQ(IsAbsolutePath(c.name), c.nameAbsolute);
        EXPECT_EQ(WithTrailingSeparator(c.folder), c.withSeparator);
        EXPECT_EQ(ResolveInFolder(c.folder, c.name), c.resolved);
    }
    EXPECT_FALSE(IsAbsolutePath(""));
    EXPECT_FALSE(IsAbsolutePath("c:\\pc.ini"));
}

TEST(PathsTest, StationFolderDefaultsToExecutableFolderAndKeepsSeparator) {
    SetStationFolder("");
    EXPECT_EQ(StationFolder(), HostPlatform().ExecutableFolder());

    SetStationFolder("/srv/line3");
    const std::string& before = StationFolder();
    EXPECT_EQ(before, "/srv/line3/");
    SetStationFolder("/srv/line4/");
    EXPECT_EQ(StationFolder(), "/srv/line4/");
    EXPECT_EQ(before, "/srv/line3/") << "a handed-out reference must stay valid";
    SetStationFolder("");
}

TEST(PathsTest, MachineFileDefaultAndOverride) {
    SetMachineFilePath("/tmp/elsewhere/pc.ini");
    EXPECT_EQ(MachineFilePath(), "/tmp/elsewhere/pc.ini");
    SetMachineFilePath("");
    EXPECT_EQ(MachineFilePath(), "/etc/kvstation/pc.ini");
}

TEST(PathsTest, LockFolderFromEnvironmentOrDefault) {
    const char* saved = std::getenv("KV_LOCK_DIR");
    const std::optional<std::string> previous =
        saved != nullptr ? std::optional<std::string>(saved) : std::nullopt;

    setenv("KV_LOCK_DIR", "/run/kv-test-locks", 1);
    SetLockFolder("");
    EXPECT_EQ(LockFolder(), "/run/kv-test-locks");
    setenv("KV_LOCK_DIR", "", 1);
    SetLockFolder("");
    EXPECT_EQ(LockFolder(), "/tmp/kvstation-locks");
    unsetenv("KV_LOCK_DIR");
    SetLockFolder("");
    EXPECT_EQ(LockFolder(), "/tmp/kvstation-locks");
    SetLockFolder("/tmp/explicit");
    EXPECT_EQ(LockFolder(), "/tmp/explicit");

    if (previous) {
        setenv("KV_LOCK_DIR", previous->c_str(), 1);
    }
    SetLockFolder("");
}

}  // namespace
}  // namespace kv::platform
