#include "platform/instance_lock.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/paths.h"
#include "support/child_process.h"
#include "support/temp_folder.h"

namespace kv::platform {
namespace {

class InstanceLockTest : public ::testing::Test {
  protected:
    test::ScopedLockFolder locks_;
};

TEST_F(InstanceLockTest, SameProcessGetsItOnceUntilReleased) {
    auto first = AcquireInstanceLock("KVMP");
    ASSERT_NE(first, nullptr);
    InstanceLockRefusal why = InstanceLockRefusal::kUnavailable;
    EXPECT_EQ(AcquireInstanceLock("KVMP", &why), nullptr);
    EXPECT_EQ(why, InstanceLockRefusal::kHeld);
    EXPECT_NE(AcquireInstanceLock("KVMP_other"), nullptr) << "names are independent";

    first.reset();
    EXPECT_NE(AcquireInstanceLock("KVMP"), nullptr);
}

TEST_F(InstanceLockTest, RefusedWhileAnotherProcessHoldsIt) {
    test::ChildProcess child([](test::ChildProcess& self) {
        auto lock = AcquireInstanceLock("KVMP");
        self.Signal(lock != nullptr ? 'L' : 'F');
        self.WaitForParent();
        return 0;
    });
    ASSERT_TRUE(child.started());
    ASSERT_EQ(child.WaitForChild(), 'L');

    InstanceLockRefusal why = InstanceLockRefusal::kUnavailable;
    EXPECT_EQ(AcquireInstanceLock("KVMP", &why), nullptr);
    EXPECT_EQ(why, InstanceLockRefusal::kHeld);

    child.Kill();  // the holder dies without releasing
    EXPECT_NE(AcquireInstanceLock("KVMP"), nullptr);
}

TEST_F(InstanceLockTest, UnusableLockFolderRefusesAsUnavailable) {
    const std::string plainFile = locks_.path() + "/not_a_folder";
    std::ofstream(plainFile) << "x";
    SetLockFolder(plainFile);
    InstanceLockRefusal why = InstanceLockRefusal::kHeld;
    EXPECT_EQ(AcquireInstanceLock("KVMP", &why), nullptr);
    EXPECT_EQ(why, InstanceLockRefusal::kUnavailable);
}

}  // namespace
}  // namespace kv::platform
