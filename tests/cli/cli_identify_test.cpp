#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>

#include "support/cli_runner.h"
#include "support/run_tool.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

class CliIdentify : public ::testing::Test {
  protected:
    void SetUp() override {
        const test::CliResult init = Run("init '" + Station() + "' --drives 2");
        ASSERT_EQ(init.status, 0) << init.err;
    }
    test::CliResult Run(const std::string& args) {
        return test::RunCli(args, locks.path(), scratch.path());
    }
    test::CliResult Identify(const std::string& port) {
        test::CliResult r = Run("--dir '" + Station() + "' identify " + port);
        if (r.err.find("unknown command 'identify'") != std::string::npos) {
            wired = false;
        }
        return r;
    }
    std::string Station() const { return scratch.File("station"); }

    test::TempFolder scratch{"kv_cli_id"};
    test::ScopedLockFolder locks;
    bool wired = true;
};

TEST_F(CliIdentify, PrintsTheWordsOfTheDriveInTheFormDecodersRead) {
    const test::CliResult r = Identify("1");
    if (!wired) {
        GTEST_SKIP() << "identify is not a command of this build yet";
    }
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::regex_match(r.out, std::regex("(([0-9a-f]{4} ){7}[0-9a-f]{4}\n){32}")))
        << r.out;
    const std::string file = scratch.File("identify.txt");
    std::ofstream(file, std::ios::binary) << r.out;
    const test::ToolResult decoded = test::RunTool("hdparm --Istdin < " + test::ShellQuote(file));
    // A new drive answers with its loader identity.
    EXPECT_NE(decoded.output.find("Checksum: correct"), std::string::npos) << decoded.output;
    EXPECT_TRUE(std::regex_search(decoded.output,
                                  std::regex("Model Number:\\s+Korvane KVR51X SATA SSD Loader")))
        << decoded.output;
}

TEST_F(CliIdentify, RefusesPortsWithoutASataDrive) {
    struct Case {
        const char* port;
        const char* message;
    } cases[] = {{"2", "IDENTIFY DEVICE is not sent"},  // the sample's USB-path drive
                 {"3", "no drive on port 3"},
                 {"0", "port number from 1 to 50"},
                 {"x", "port number from 1 to 50"}};
    for (const Case& c : cases) {
        const test::CliResult r = Identify(c.port);
        if (!wired) {
            GTEST_SKIP() << "identify is not a command of this build yet";
        }
        EXPECT_EQ(r.status, 2) << c.port;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.port << ": " << r.err;
        EXPECT_EQ(r.out, "") << c.port;
    }
}

}  // namespace
}  // namespace kv
