// Test helpers for code that touches files: a fresh folder per test, a lock
// folder of the test's own and a temporary change of the working directory.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/paths.h"

namespace kv::test {

// A new, empty folder under the test temp dir, removed with its content at the
// end of the scope.
class TempFolder {
  public:
    explicit TempFolder(const std::string& tag = "kv") {
        std::string pattern = ::testing::TempDir() + tag + "_XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) != nullptr) {
            path_ = buffer.data();
        }
        EXPECT_FALSE(path_.empty()) << "cannot create a folder from " << pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Points the lock folder of named mutexes and instance locks at a folder of
// this scope, and back to the default afterwards.
class ScopedLockFolder {
  public:
    ScopedLockFolder() : folder_("kv_locks") { kv::platform::SetLockFolder(folder_.path()); }
    ~ScopedLockFolder() { kv::platform::SetLockFolder(""); }
    const std::string& path() const { return folder_.path(); }

  private:
    TempFolder folder_;
};

// Makes `folder` the working directory for the scope.
class ScopedWorkingFolder {
  public:
    explicit ScopedWorkingFolder(const std::string& folder) {
        char buffer[4096];
        if (getcwd(buffer, sizeof(buffer)) != nullptr) {
            previous_ = buffer;
        }
        EXPECT_EQ(chdir(folder.c_str()), 0) << folder;
    }
    ~ScopedWorkingFolder() {
        if (!previous_.empty()) {
            EXPECT_EQ(chdir(previous_.c_str()), 0) << previous_;
        }
    }
    ScopedWorkingFolder(const ScopedWorkingFolder&) = delete;
    ScopedWorkingFolder& operator=(const ScopedWorkingFolder&) = delete;

  private:
    std::string previous_;
};

}  // namespace kv::test
