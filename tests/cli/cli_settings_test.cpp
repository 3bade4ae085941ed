#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/instance_lock.h"
#include "platform/paths.h"
#include "support/cli_runner.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class CliSettings : public ::testing::Test {
  protected:
    test::CliResult Run(const std::string& args) {
        return test::RunCli(args, locks.path(), scratch.path());
    }
    std::string Station() const { return scratch.File("station"); }

    test::TempFolder scratch{"kv_cli"};
    test::ScopedLockFolder locks;
};

TEST_F(CliSettings, InitThenSettingsLoadsPrintsAndSaves) {
    const test::CliResult init = Run("init '" + Station() + "'");
    ASSERT_EQ(init.status, 0) << init.err;
    const test::CliResult run = Run("--dir '" + Station() + "' settings");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("[Setting]\nLogPath=", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("\nFlashUniName=MX64G08\n"), std::string::npos);
    EXPECT_NE(run.out.find("\n[SMART]\n"), std::string::npos);
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(std::filesystem::exists(Station() + "/log/ZOVID.log"));
    // The saved file keeps CR LF line ends and loads to the same settings.
    EXPECT_EQ(ReadBytes(Station() + "/REVODEDE.ini").find("\n\n"), std::string::npos);
    const test::CliResult again = Run("--dir '" + Station() + "' settings");
    EXPECT_EQ(again.out, run.out);
}

TEST_F(CliSettings, RefusalsEndWithStatusThree) {
    ASSERT_EQ(Run("init '" + Station() + "'").status, 0);
    const std::string settings = Station() + "/REVODEDE.ini";
    {
        std::ofstream out(settings, std::ios::binary | std::ios::trunc);
        out << "[Setting]\r\nProductModel=" << std::string(400, 'x') << "\r\n";
    }
    const std::string refused = ReadBytes(settings);
    test::CliResult run = Run("--dir '" + Station() + "' settings");
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("[Error]"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("line 2"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(ReadBytes(settings), refused);

    std::filesystem::remove(Station() + "/Flash.ini");
    std::filesystem::remove(settings);
    run = Run("--dir '" + Station() + "' settings");
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("format correct!"), std::string::npos) << run.err;
}

TEST_F(CliSettings, SecondInstanceIsRefused) {
    ASSERT_EQ(Run("init '" + Station() + "'").status, 0);
    auto held = platform::AcquireInstanceLock("KVMP");
    ASSERT_NE(held, nullptr);
    const test::CliResult run = Run("--dir '" + Station() + "' settings");
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, "");
}

TEST_F(CliSettings, UnknownCommandsAndOptionsAreRefused) {
    EXPECT_EQ(Run("frobnicate").status, 2);
    EXPECT_EQ(Run("--bogus settings").status, 2);
    EXPECT_EQ(Run("init '" + Station() + "' --drives 51").status, 2);
    EXPECT_EQ(Run("--dir '" + scratch.File("missing") + "' settings").status, 3);
}

}  // namespace
}  // namespace kv
