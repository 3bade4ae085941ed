#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "device/discovery_text.h"
#include "emulator/drive.h"
#include "platform/instance_lock.h"
#include "support/cli_runner.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

std::vector<std::vector<std::string>> Rows(const std::string& table) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(table);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> cells;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos;
             start = tab + 1) {
            cells.push_back(line.substr(start, tab - start));
        }
        cells.push_back(line.substr(start));
        rows.push_back(cells);
    }
    return rows;
}

class CliScan : public ::testing::Test {
  protected:
    test::CliResult Run(const std::string& args) {
        return test::RunCli(args, locks.path(), scratch.path());
    }
    std::string Station() const { return scratch.File("station"); }

    test::TempFolder scratch{"kv_cli_scan"};
    test::ScopedLockFolder locks;
};

TEST_F(CliScan, TheSampleFolderShowsDriveKOnPortK) {
    for (const int drives : {1, 9, 50}) {
        SCOPED_TRACE(drives);
        const std::string station = Station() + std::to_string(drives);
        ASSERT_EQ(Run("init '" + station + "' --drives " + std::to_string(drives)).status, 0);
        const test::CliResult scan = Run("--dir '" + station + "' scan");
        ASSERT_EQ(scan.status, 0) << scan.err;
        const auto rows = Rows(scan.out);
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows[0], (std::vector<std::string>{"Port", "Attached", "Present", "Bridge", "Bus",
                                                     "CapacityMB", "Loader", "DevicePath"}));
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(drives) + 1);
        for (int k = 1; k <= drives; ++k) {
            const std::vector<std::string>& row = rows[static_cast<std::size_t>(k)];
            ASSERT_EQ(row.size(), 8u);
            EXPECT_EQ(row[0], std::to_string(k));
            EXPECT_EQ(row[1], "1");
            EXPECT_EQ(row[2], "1") << "port " << k;
            EXPECT_NE(row[3], "0");
            EXPECT_TRUE(row[4] == "SATA" || row[4] == "USB") << row[4];
            const std::string serial =
                LowerCase(kv::emu::DriveSerial("drive" + std::to_string(k))) + "&0#";
            EXPECT_NE(row[7].find(serial), std::string::npos) << row[7];
        }
    }
}

TEST_F(CliScan, RemoveTakesEveryDriveOffAndNamedFixturesAreUsed) {
    ASSERT_EQ(Run("init '" + Station() + "' --drives 3").status, 0);
    const test::CliResult removed = Run("--dir '" + Station() + "' remove");
    EXPECT_EQ(removed.status, 0) << removed.err;
    const auto rows = Rows(removed.out);
    ASSERT_EQ(rows.size(), 4u);
    for (std::size_t k = 1; k < rows.size(); ++k) {
        EXPECT_EQ(rows[k][1], "1");  // still on its port
        EXPECT_EQ(rows[k][2], "0");  // but no longer a disk
    }
    // A fixture named on the command line that cannot be loaded refuses the start.
    const test::CliResult missing =
        Run("--dir '" + Station() + "' --fixture '" + scratch.File("none.ini") + "' scan");
    EXPECT_EQ(missing.status, 3);
    EXPECT_NE(missing.err.find("none.ini"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace kv
