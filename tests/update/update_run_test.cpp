#include "update/update_worker.h"

#include <gtest/gtest.h>

#include "tests/support/emulated_device_test.h"
#include "tests/support/image_files.h"

namespace quorvanex {
namespace {

int threadsStarted = 0;
bool StartsThread() {
    ++threadsStarted;
    return true;
}
bool CannotStartThread() {
    return false;
}

class UpdateRunTest : public test_support::EmulatedDeviceTest {
  protected:
    UpdateRunTest() { threadsStarted = 0; }
    test_support::ScratchFolder folder;
    test_support::ScopedWorkingDirectory workingDirectory{folder.Path()};
};

TEST_F(UpdateRunTest, ASecondUpdateIsRefusedWhileOneRunsAndAllowedAfterItEnds) {
    EXPECT_TRUE(StartUpdateWorker(&StartsThread));
    EXPECT_TRUE(UpdateRunning());
    EXPECT_FALSE(StartUpdateWorker(&StartsThread));
    EXPECT_EQ(threadsStarted, 1);
    ASSERT_EQ(host.Notices().size(), 1u);
    EXPECT_EQ(host.Notices()[0].text,
              L"An update is already running.\nWait until it has finished.");

    // The worker's thread: no main image here, so it ends at once and the run with it.
    host.Clear();
    EXPECT_EQ(UpdateWorker(nullptr), 0u);
    EXPECT_FALSE(UpdateRunning());
    EXPECT_EQ(host.Notices().back().caption, L"File missing");

    EXPECT_TRUE(StartUpdateWorker(&StartsThread));
    EXPECT_EQ(threadsStarted, 2);
    UpdateWorker(nullptr);
}

TEST_F(UpdateRunTest, AThreadThatCannotBeStartedLeavesNoRunBehind) {
    EXPECT_FALSE(StartUpdateWorker(&CannotStartThread));
    EXPECT_FALSE(UpdateRunning());
    EXPECT_TRUE(host.Notices().empty());
    EXPECT_TRUE(StartUpdateWorker(&StartsThread));
    UpdateWorker(nullptr);
}

}  // namespace
}  // namespace quorvanex
