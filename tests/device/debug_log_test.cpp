#include "device/debug_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/named_mutex.h"
#include "platform/platform.h"
#include "support/child_process.h"
#include "support/temp_folder.h"

namespace kv {
namespace {

// Keeps what reaches the debugger channel.
class DebuggerRecorder : public platform::Platform {
  public:
    platform::Clock& clock() override { return platform::HostPlatform().clock(); }
    platform::LocalTime Now() override { return {}; }
    void DebuggerOutput(const char* text) override {
        std::lock_guard<std::mutex> hold(mutex_);
        lines_.emplace_back(text);
    }
    std::string ExecutableFolder() override { return "/"; }
    bool IsOnNetworkDrive(const std::string&) override { return false; }
    bool IsCapsLockOn() override { return false; }
    void ToggleCapsLock() override {}

    std::vector<std::string> lines() {
        std::lock_guard<std::mutex> hold(mutex_);
        return lines_;
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs in a folder of its own, with its own lock folder and a recording
// debugger channel; the file setting starts off.
class DebugLogTest : public ::testing::Test {
  protected:
    DebugLogTest() { platform::SetCurrent(&debugger_); }
    ~DebugLogTest() override {
        SetDebugLogToFile(false);
        platform::SetCurrent(nullptr);
    }

    bool LogExists() const { return std::filesystem::exists(folder_.File("DbgMsg.txt")); }
    std::string Log() const { return ReadAll(folder_.File("DbgMsg.txt")); }

    DebuggerRecorder debugger_;
    test::ScopedLockFolder locks_;
    test::TempFolder folder_{"kv_dbglog"};
    test::ScopedWorkingFolder inFolder_{folder_.path()};
};

TEST_F(DebugLogTest, SettingOffSendsToDebuggerOnly) {
    EXPECT_FALSE(DebugLogToFileOn());
    OutputDbgMsg("FAILED(%s) port %d\r\n", "VC_SYS_ReadReg", 7);
    EXPECT_EQ(debugger_.lines(), std::vector<std::string>{"FAILED(VC_SYS_ReadReg) port 7\r\n"});
    EXPECT_FALSE(LogExists());
}

TEST_F(DebugLogTest, SettingOnAppendsExactlyTheFormattedBytes) {
    SetDebugLogToFile(true);
    // Line ends pass untranslated; an empty message adds nothing.
    const char* const messages[] = {"first\r\n", "lone LF\n", "", "CR only\r"};
    std::string expected;
    for (const char* message : messages) {
        SCOPED_TRACE(message);
        OutputDbgMsg("%s", message);
        expected += message;
        EXPECT_EQ(Log(), expected);
    }
    OutputDbgMsg("%d%%|%s|%04X\r\n", 12, "ab", 0xBEEF);
    EXPECT_EQ(Log(), expected + "12%|ab|BEEF\r\n");
    EXPECT_EQ(debugger_.lines().size(), std::size(messages) + 1);
}

TEST_F(DebugLogTest, LongMessageKeepsItsFirst1023Characters) {
    SetDebugLogToFile(true);
    std::string message;
    for (int i = 0; i < 2000; ++i) {
        message += static_cast<char>('a' + i % 26);
    }
    OutputDbgMsg("%s", message.c_str());
    EXPECT_EQ(Log(), message.substr(0, 1023));
    ASSERT_EQ(debugger_.lines().size(), 1u);
    EXPECT_EQ(debugger_.lines()[0], message.substr(0, 1023));
}

TEST_F(DebugLogTest, DeletedFileIsCreatedAgain) {
    SetDebugLogToFile(true);
    OutputDbgMsg("one\r\n");
    ASSERT_TRUE(LogExists());
    std::filesystem::remove(folder_.File("DbgMsg.txt"));
    OutputDbgMsg("two\r\n");
    EXPECT_EQ(Log(), "two\r\n");
}

TEST_F(DebugLogTest, UnopenableFileLosesOnlyTheFileCopy) {
    SetDebugLogToFile(true);
    std::filesystem::create_directory(folder_.File("DbgMsg.txt"));  // cannot open as a file
    OutputDbgMsg("lost\r\n");
    EXPECT_EQ(debugger_.lines(), std::vector<std::string>{"lost\r\n"});
    std::filesystem::remove(folder_.File("DbgMsg.txt"));
    OutputDbgMsg("kept\r\n");
    EXPECT_EQ(Log(), "kept\r\n");
}

TEST_F(DebugLogTest, FileWriteWaitsForTheDbgAcessMutex) {
    SetDebugLogToFile(true);
    platform::NamedMutex dbgAccess("DBGAcess");
    dbgAccess.lock();
    std::thread writer([] { OutputDbgMsg("after release\r\n"); });
    // The writer gets its debugger copy out, then waits for the mutex.
    while (debugger_.lines().empty()) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(LogExists()) << "written while another holder had DBGAcess";
    dbgAccess.unlock();
    writer.join();
    EXPECT_EQ(Log(), "after release\r\n");
}

TEST_F(DebugLogTest, TwoProcessesWriteWholeMessages) {
    SetDebugLogToFile(true);
    constexpr int kMessages = 300;
    constexpr std::size_t kBody = 1000;  // with "\r\n", close to the message limit
    auto writer = [&](char letter) {
        return [letter](test::ChildProcess&) {
            const std::string body(kBody, letter);
            for (int i = 0; i < kMessages; ++i) {
                OutputDbgMsg("%s\r\n", body.c_str());
            }
            return 0;
        };
    };
    test::ChildProcess first(writer('A'));
    test::ChildProcess second(writer('B'));
    ASSERT_TRUE(first.started());
    ASSERT_TRUE(second.started());
    EXPECT_EQ(first.Wait(), 0);
    EXPECT_EQ(second.Wait(), 0);

    const std::string log = Log();
    ASSERT_EQ(log.size(), 2 * kMessages * (kBody + 2));
    int counts[2] = {0, 0};
    for (std::size_t at = 0; at < log.size(); at += kBody + 2) {
        const char letter = log[at];
        ASSERT_TRUE(letter == 'A' || letter == 'B') << "at byte " << at;
        ASSERT_EQ(log.compare(at, kBody + 2, std::string(kBody, letter) + "\r\n"), 0)
            << "message at byte " << at << " is not whole";
        ++counts[letter - 'A'];
    }
    EXPECT_EQ(counts[0], kMessages);
    EXPECT_EQ(counts[1], kMessages);
}

TEST_F(DebugLogTest, TraceLineGoesToTheDebuggerOnly) {
    SetDebugLogToFile(true);
    const std::string longText(300, 'x');
    struct Case {
        const char* msg;
        std::string line;
    };
    const Case cases[] = {
        {"Format FAT32", "Format FAT32\n"},
        {"", "\n"},
        {nullptr, "\n"},
        {longText.c_str(), std::string(258, 'x') + "\n"},  // cut so the line fits 260 bytes
    };
    for (const Case& c : cases) {
        DbgTrace(c.msg);
        EXPECT_EQ(debugger_.lines().back(), c.line);
    }
    EXPECT_FALSE(LogExists());
}

}  // namespace
}  // namespace kv
