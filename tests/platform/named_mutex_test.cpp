#include "platform/named_mutex.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "platform/paths.h"
#include "support/child_process.h"
#include "support/temp_folder.h"

namespace kv::platform {
namespace {

// True when some open file holds the lock file `path`: a lock attempt through
// a new open file fails without waiting.
bool LockFileHeld(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return held;
}

class NamedMutexTest : public ::testing::Test {
  protected:
    // Each test its own name, so the process-wide objects of other tests never meet.
    std::string name_ =
        std::string("Mx_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    test::ScopedLockFolder locks_;
    std::string lockFile_ = locks_.path() + "/" + name_ + ".lock";
};

TEST_F(NamedMutexTest, ReentrantOnOneThreadAndHeldUntilOutermostUnlock) {
    NamedMutex mutex(name_);
    NamedMutex sameName(name_);
    mutex.lock();
    EXPECT_TRUE(LockFileHeld(lockFile_));
    mutex.lock();
    sameName.lock();  // a second object of the name is the same mutex
    sameName.unlock();
    mutex.unlock();
    EXPECT_TRUE(LockFileHeld(lockFile_)) << "released by an inner unlock";
    mutex.unlock();
    EXPECT_FALSE(LockFileHeld(lockFile_));
}

TEST_F(NamedMutexTest, ExcludesThreadsOfOneProcess) {
    constexpr int kRounds = 2000;
    std::atomic<int> inside{0};
    std::atomic<int> mostInside{0};
    int counter = 0;  // touched only under the mutex
    auto work = [&] {
        NamedMutex mutex(name_);  // every thread opens the name itself
        for (int i = 0; i < kRounds; ++i) {
            std::lock_guard<NamedMutex> hold(mutex);
            const int now = ++inside;
            if (now > mostInside) {
                mostInside = now;
            }
            const int seen = counter;
            std::this_thread::yield();
            counter = seen + 1;
            --inside;
        }
    };
    std::thread first(work);
    std::thread second(work);
    first.join();
    second.join();
    EXPECT_EQ(mostInside.load(), 1);
    EXPECT_EQ(counter, 2 * kRounds);
}

TEST_F(NamedMutexTest, ProcessWaitsUntilAnotherProcessReleases) {
    const std::string name = name_;
    test::ChildProcess child([name](test::ChildProcess& self) {
        NamedMutex mutex(name);
        mutex.lock();
        self.Signal('L');
        self.WaitForParent();
        self.Signal('R');  // sent before the release, so a waiter sees it after
        mutex.unlock();
        return 0;
    });
    ASSERT_TRUE(child.started());
    ASSERT_EQ(child.WaitForChild(), 'L');
    EXPECT_TRUE(LockFileHeld(lockFile_));

    NamedMutex mutex(name_);
    child.Tell('G');
    mutex.lock();
    EXPECT_TRUE(child.HasSignalled()) << "got the mutex while the other process held it";
    EXPECT_EQ(child.WaitForChild(), 'R');
    mutex.unlock();
    EXPECT_EQ(child.Wait(), 0);
}

TEST_F(NamedMutexTest, KilledHolderReleases) {
    const std::string name = name_;
    test::ChildProcess child([name](test::ChildProcess& self) {
        NamedMutex mutex(name);
        mutex.lock();
        self.Signal('L');
        self.WaitForParent();  // never answered: the parent kills us holding it
        return 0;
    });
    ASSERT_TRUE(child.started());
    ASSERT_EQ(child.WaitForChild(), 'L');
    EXPECT_TRUE(LockFileHeld(lockFile_));
    child.Kill();

    EXPECT_FALSE(LockFileHeld(lockFile_));
    NamedMutex mutex(name_);
    mutex.lock();
    EXPECT_TRUE(LockFileHeld(lockFile_));
    mutex.unlock();
}

TEST_F(NamedMutexTest, CreatesMissingLockFolder) {
    const std::string nested = locks_.path() + "/station/locks";
    SetLockFolder(nested);
    NamedMutex mutex(name_);
    mutex.lock();
    EXPECT_TRUE(LockFileHeld(nested + "/" + name_ + ".lock"));
    mutex.unlock();
}

TEST_F(NamedMutexTest, UnusableLockFolderStillSerialisesThisProcess) {
    const std::string plainFile = locks_.path() + "/not_a_folder";
    std::ofstream(plainFile) << "x";
    SetLockFolder(plainFile + "/locks");
    NamedMutex mutex(name_);
    mutex.lock();
    mutex.lock();
    std::atomic<bool> taken{false};
    std::thread other([&] {
        NamedMutex again(name_);
        again.lock();
        taken = true;
        again.unlock();
    });
    mutex.unlock();
    EXPECT_FALSE(taken.load());
    mutex.unlock();
    other.join();
    EXPECT_TRUE(taken.load());
}

}  // namespace
}  // namespace kv::platform
