#include "firmware/debug_dump.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_folder.h"

namespace kv {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class DebugDumpTest : public ::testing::Test {
  protected:
    ~DebugDumpTest() override { SetDumpDebugFile(false); }

    test::TempFolder folder_{"kv_dump"};
    test::ScopedWorkingFolder inFolder_{folder_.path()};
};

TEST_F(DebugDumpTest, OffWritesNothing) {
    EXPECT_FALSE(DumpDebugFileOn());
    const char data[] = "page";
    WriteDebugDump("11_RCO.raw", data, sizeof(data));
    EXPECT_FALSE(std::filesystem::exists(folder_.File("11_RCO.raw")));
}

TEST_F(DebugDumpTest, OnWritesExactlyTheBytesAndReplacesAnOlderDump) {
    SetDumpDebugFile(true);
    EXPECT_TRUE(DumpDebugFileOn());
    std::string page(4096, '\0');
    for (std::size_t i = 0; i < page.size(); ++i) {
        page[i] = static_cast<char>(i * 7);
    }
    WriteDebugDump("A0_00_00.raw", page.data(), page.size());
    EXPECT_EQ(ReadAll(folder_.File("A0_00_00.raw")), page);

    WriteDebugDump("A0_00_00.raw", "\r\n\0x", 4);
    EXPECT_EQ(ReadAll(folder_.File("A0_00_00.raw")), std::string("\r\n\0x", 4));

    WriteDebugDump("empty.raw", nullptr, 0);
    EXPECT_TRUE(std::filesystem::exists(folder_.File("empty.raw")));
    EXPECT_EQ(std::filesystem::file_size(folder_.File("empty.raw")), 0u);
}

// Ports dumping under one name at once: the file holds one of the dumps whole,
// never a shorter dump over the tail of a longer one.
TEST_F(DebugDumpTest, ConcurrentDumpsOfOneNameLeaveOneWholeDump) {
    SetDumpDebugFile(true);
    std::vector<std::thread> ports;
    for (int port = 0; port < 4; ++port) {
        ports.emplace_back([port] {
            const std::string data(static_cast<std::size_t>(64 * 1024 * (port + 1)),
                                   static_cast<char>('a' + port));
            for (int i = 0; i < 50; ++i) {
                WriteDebugDump("11_WCM.raw", data.data(), data.size());
            }
        });
    }
    for (std::thread& port : ports) {
        port.join();
    }
    const std::string dump = ReadAll(folder_.File("11_WCM.raw"));
    ASSERT_FALSE(dump.empty());
    const int port = dump[0] - 'a';
    ASSERT_GE(port, 0);
    ASSERT_LT(port, 4);
    EXPECT_EQ(dump, std::string(static_cast<std::size_t>(64 * 1024 * (port + 1)), dump[0]));
}

}  // namespace
}  // namespace kv
