// A named mutex for each unit: the system gives it back when its holder ends, even after a crash,
// so a copy of the program that died in an update never keeps the others off the unit.
#include <windows.h>

#include "update/update_lock.h"

namespace quorvanex {
namespace {

// The lock of the unit that this program updates, while it updates it.
HANDLE heldLock = nullptr;

}  // namespace

bool TakeUpdateLock(std::uint32_t deviceIndex) {
    ReleaseUpdateLock();
    HANDLE lock = CreateMutexW(nullptr, FALSE, UpdateLockName(deviceIndex).c_str());
    if (lock == nullptr) {
        // Without the lock object nothing can be known of other programs; refusing here would
        // keep the operator from ever updating, so this program goes on alone.
        return true;
    }
    // No wait: another program's update takes minutes, and the operator is told at once instead.
    // An abandoned lock belonged to a program that ended in an update; it is this thread's now.
    const DWORD taken = WaitForSingleObject(lock, 0);
    if (taken != WAIT_OBJECT_0 && taken != WAIT_ABANDONED) {
        CloseHandle(lock);
        return false;
    }
    heldLock = lock;
    return true;
}

void ReleaseUpdateLock() {
    if (heldLock != nullptr) {
        ReleaseMutex(heldLock);
        CloseHandle(heldLock);
        heldLock = nullptr;
    }
}

}  // namespace quorvanex
