// The update lock across programs, one for each unit, with the system's named mutexes: another
// program is stood for by another thread that holds a unit's lock by its name.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/emulated_device_test.h"
#include "tests/support/image_files.h"
#include "update/update_lock.h"
#include "update/update_worker.h"

namespace quorvanex {
namespace {

// Takes a unit's lock by name on a thread of its own and holds it until told to let go.
class OtherProgram {
  public:
    explicit OtherProgram(std::uint32_t unit) : name_(UpdateLockName(unit)) {
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
        HANDLE lock = CreateMutexW(nullptr, FALSE, program->name_.c_str());
        WaitForSingleObject(lock, 5000);
        SetEvent(program->holding_);
        WaitForSingleObject(program->letGo_, 5000);
        ReleaseMutex(lock);
        CloseHandle(lock);
        return 0;
    }

    std::wstring name_;
    HANDLE holding_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE letGo_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread_ = nullptr;
};

class UpdateLockTest : public test_support::EmulatedDeviceTest {
  protected:
    test_support::ScratchFolder folder;
    test_support::ScopedWorkingDirectory workingDirectory{folder.Path()};
};

TEST_F(UpdateLockTest, AnUpdateThatAnotherProgramRunsKeepsThisOneOffItsUnitAlone) {
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin",
                 test_support::ImageBytes("1A60", test_support::PatternData(100)));
    emulator::DeviceConfig other;
    other.serial = "1999";
    bridge.Attach(other);
    bridge.Attach();
    bridge.Attach();
    {
        // The window takes the first QUORVANEX, unit 1, and another program updates it.
        OtherProgram updating(1);
        EXPECT_EQ(UpdateWorker(nullptr), 0u);
        EXPECT_EQ(host.NoticeTexts(),
                  std::vector<std::wstring>{
                      L"An update is already running.\nWait until it has finished."});
        EXPECT_EQ(bridge.Calls(emulator::BridgeOperation::OpenBridgeDevice), 0u);
        EXPECT_EQ(bridge.Calls(emulator::BridgeOperation::WriteFrame), 0u);
        EXPECT_FALSE(UpdateRunning());
    }
    {
        // Another program on another unit keeps nothing from this one.
        OtherProgram elsewhere(2);
        host.Clear();
        EXPECT_EQ(UpdateWorker(nullptr), 0u);
        EXPECT_EQ(host.NoticeTexts(), std::vector<std::wstring>{L"FLASH update ok "});
        EXPECT_EQ(bridge.Device(1).OpenCount(), 1u);
        EXPECT_EQ(bridge.Device(2).OpenCount(), 0u);
    }
    // The lock of unit 1 was given back at the end: another program takes it at once.
    OtherProgram after(1);
    HANDLE lock = OpenMutexW(SYNCHRONIZE, FALSE, UpdateLockName(1).c_str());
    ASSERT_NE(lock, nullptr);
    EXPECT_EQ(WaitForSingleObject(lock, 0), WAIT_TIMEOUT) << "the other program holds it again";
    CloseHandle(lock);
}

}  // namespace
}  // namespace quorvanex
