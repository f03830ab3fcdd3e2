// The update lock across programs, with the system's named mutex: another program is stood for by
// another thread that holds the lock by its name.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/emulated_device_test.h"
#include "tests/support/image_files.h"
#include "update/update_lock.h"
#include "update/update_run.h"

namespace quorvanex {
namespace {

// Takes the lock by name on a thread of its own and holds it until told to let go.
class OtherProgram {
  public:
    OtherProgram() {
        thread_ = CreateThread(nullptr, 0, &Hold, this, 0, nullptr);
        WaitForSingleObject(holding_, 5000);
    }
    ~OtherProgram() {
        SetEvent(letGo_);
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
        CloseHandle(holding_);
        CloseHandle(letGo_);
    }

  private:
    static DWORD WINAPI Hold(void* self) {
        auto* program = static_cast<OtherProgram*>(self);
        HANDLE lock = CreateMutexW(nullptr, FALSE, kUpdateLockName);
        WaitForSingleObject(lock, 5000);
        SetEvent(program->holding_);
        WaitForSingleObject(program->letGo_, 5000);
        ReleaseMutex(lock);
        CloseHandle(lock);
        return 0;
    }

    HANDLE holding_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE letGo_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread_ = nullptr;
};

class UpdateLockTest : public test_support::EmulatedDeviceTest {
  protected:
    test_support::ScratchFolder folder;
    test_support::ScopedWorkingDirectory workingDirectory{folder.Path()};
};

TEST_F(UpdateLockTest, AnUpdateThatAnotherProgramRunsKeepsThisOneOffTheDevice) {
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin",
                 test_support::ImageBytes("1A60", test_support::PatternData(100)));
    bridge.Attach();
    {
        OtherProgram other;
        EXPECT_EQ(UpdateWorker(nullptr), 0u);
        EXPECT_EQ(host.NoticeTexts(),
                  std::vector<std::wstring>{
                      L"An update is already running. Wait until it has finished."});
        EXPECT_EQ(bridge.TotalCalls(), 0u);
        EXPECT_FALSE(UpdateRunning());
    }
    // Once the other program has let go, the update runs, and gives the lock back at its end.
    host.Clear();
    EXPECT_EQ(UpdateWorker(nullptr), 0u);
    EXPECT_EQ(host.NoticeTexts(), std::vector<std::wstring>{L"FLASH update ok "});
    OtherProgram after;
    HANDLE lock = OpenMutexW(SYNCHRONIZE, FALSE, kUpdateLockName);
    ASSERT_NE(lock, nullptr);
    EXPECT_EQ(WaitForSingleObject(lock, 0), WAIT_TIMEOUT) << "the other program holds it again";
    CloseHandle(lock);
}

}  // namespace
}  // namespace quorvanex
