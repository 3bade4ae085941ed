#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/cli_runner.h"
#include "support/run_tool.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

TEST(CliRun, ASampleLineIsProducedAndReportedPortByPort) {
    test::TempFolder scratch{"kv_cli_run"};
    test::ScopedLockFolder locks;
    const std::string station = scratch.path() + "/station";
    auto run = [&](const std::string& args) {
        return test::RunCli(args, locks.path(), scratch.path());
    };
    ASSERT_EQ(run("init '" + station + "' --drives 3").status, 0);
    const test::CliResult produced = run("--dir '" + station + "' run");
    EXPECT_EQ(produced.status, 0) << produced.err;
    EXPECT_EQ(produced.out,
              "Port\tResult\tSerialNumber\tWwn\n"
              "1\tPass\tKV5100000001\t000000001\n"
              "2\tPass\tKV5100000002\t000000002\n"
              "3\tPass\tKV5100000003\t000000003\n");
    // Every worker's captions reach standard error, in order per port.
    const auto first = produced.err.find("Port 1: Start");
    const auto last = produced.err.find("Port 1: Check Temperature");
    EXPECT_NE(first, std::string::npos) << produced.err;
    EXPECT_NE(last, std::string::npos);
    EXPECT_LT(first, last);
    // The numbering went on: a second run gives the next serial numbers.
    const test::CliResult again = run("--dir '" + station + "' run");
    EXPECT_NE(again.out.find("1\tPass\tKV5100000004"), std::string::npos) << again.out;

    // The produced drive's own firmware answers with the identify data the
    // station gave it, as the standard decoder reads it.
    const test::CliResult identify = run("--dir '" + station + "' identify 1");
    ASSERT_EQ(identify.status, 0) << identify.err;
    const std::string words = scratch.path() + "/identify.txt";
    { std::ofstream(words) << identify.out; }
    const test::ToolResult decoded = test::RunTool("hdparm --Istdin < " + test::ShellQuote(words));
    for (const char* line : {"Checksum: correct", "KV5100000004", "Korvane KVR51X 64GB SSD",
                             "KV51A203", "55cd2e4000000004"}) {
        EXPECT_NE(decoded.output.find(line), std::string::npos) << line << "\n" << decoded.output;
    }
}

}  // namespace
}  // namespace kv
