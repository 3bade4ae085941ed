#include <gtest/gtest.h>
#include <time.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "support/temp_folder.h"

namespace kv::platform {
namespace {

TEST(HostClockTest, SleepEndsAtItsTimeOrAtCancel) {
    Clock& clock = HostPlatform().clock();

    const std::int64_t start = clock.NowMs();
    EXPECT_TRUE(clock.SleepMs(30));
    EXPECT_GE(clock.NowMs() - start, 30);
    EXPECT_TRUE(clock.SleepMs(0));
    EXPECT_TRUE(clock.SleepMs(-5));

    std::atomic<bool> cancel{true};
    EXPECT_FALSE(clock.SleepMs(10, &cancel)) << "an already cancelled wait ends at once";

    // A long wait ends as soon as the flag is set; a clock that ignored it
    // would block this test for ten minutes.
    cancel = false;
    std::thread canceller([&] {
        clock.SleepMs(20);
        cancel = true;
    });
    EXPECT_FALSE(clock.SleepMs(600000, &cancel));
    canceller.join();

    std::atomic<bool> never{false};
    EXPECT_TRUE(clock.SleepMs(15, &never));
}

TEST(HostPlatformTest, NowIsTheLocalTime) {
    auto local = [] {
        std::time_t now = std::time(nullptr);
        std::tm parts{};
        localtime_r(&now, &parts);
        return parts;
    };
    const std::tm before = local();
    const LocalTime now = HostPlatform().Now();
    const std::tm after = local();

    auto matches = [&](const std::tm& t) {
        return now.year == t.tm_year + 1900 && now.month == t.tm_mon + 1 && now.day == t.tm_mday &&
               now.hour == t.tm_hour && now.minute == t.tm_min && now.dayOfWeek == t.tm_wday;
    };
    EXPECT_TRUE(matches(before) || matches(after));
    EXPECT_GE(now.millisecond, 0);
    EXPECT_LE(now.millisecond, 999);
}

TEST(HostPlatformTest, DebuggerOutputOnlyWhenAskedFor) {
    const char* saved = std::getenv("KV_DEBUGGER_OUTPUT");
    const std::optional<std::string> previous =
        saved != nullptr ? std::optional<std::string>(saved) : std::nullopt;
    struct Case {
        const char* setting;  // nullptr: variable unset
        std::string expected;
    };
    const Case cases[] = {{nullptr, ""}, {"0", ""}, {"yes", ""}, {"1", "FAILED(Probe)\r\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting != nullptr ? c.setting : "(unset)");
        if (c.setting != nullptr) {
            setenv("KV_DEBUGGER_OUTPUT", c.setting, 1);
        } else {
            unsetenv("KV_DEBUGGER_OUTPUT");
        }
        ::testing::internal::CaptureStderr();
        HostPlatform().DebuggerOutput("FAILED(Probe)\r\n");
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.expected);
    }
    if (previous) {
        setenv("KV_DEBUGGER_OUTPUT", previous->c_str(), 1);
    } else {
        unsetenv("KV_DEBUGGER_OUTPUT");
    }
}

TEST(HostPlatformTest, ExecutableFolderHoldsTheRunningProgram) {
    const std::string folder = HostPlatform().ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.front(), '/');
    EXPECT_EQ(folder.back(), '/');
    const auto program = std::filesystem::canonical("/proc/self/exe");
    EXPECT_TRUE(std::filesystem::equivalent(folder, program.parent_path()));
    EXPECT_TRUE(std::filesystem::exists(folder + program.filename().string()));
}

TEST(HostPlatformTest, LocalFoldersAreNotNetworkDrives) {
    test::TempFolder folder("kv_net");
    EXPECT_FALSE(HostPlatform().IsOnNetworkDrive(folder.path()));
    EXPECT_FALSE(HostPlatform().IsOnNetworkDrive(folder.path() + "/missing"));
    EXPECT_FALSE(HostPlatform().IsCapsLockOn());
    HostPlatform().ToggleCapsLock();
    EXPECT_FALSE(HostPlatform().IsCapsLockOn());
}

class RecordingPlatform : public Platform {
  public:
    Clock& clock() override { return HostPlatform().clock(); }
    LocalTime Now() override { return {}; }
    void DebuggerOutput(const char*) override {}
    std::string ExecutableFolder() override { return "/fake/"; }
    bool IsOnNetworkDrive(const std::string&) override { return true; }
    bool IsCapsLockOn() override { return true; }
    void ToggleCapsLock() override {}
};

TEST(HostPlatformTest, CurrentIsTheHostUntilAnotherBackendIsSet) {
    EXPECT_EQ(&Current(), &HostPlatform());
    RecordingPlatform other;
    SetCurrent(&other);
    EXPECT_EQ(&Current(), &other);
    EXPECT_EQ(Current().ExecutableFolder(), "/fake/");
    SetCurrent(nullptr);
    EXPECT_EQ(&Current(), &HostPlatform());
}

}  // namespace
}  // namespace kv::platform
