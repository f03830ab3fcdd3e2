// A named mutex: the system gives it back when its holder ends, even after a crash, so a copy of
// the program that died in an update never keeps the others off the device.
#include <windows.h>

#include "update/update_lock.h"

namespace quorvanex {
namespace {

HANDLE updateLock = nullptr;

}  // namespace

bool TakeUpdateLock() {
    if (updateLock == nullptr) {
        updateLock = CreateMutexW(nullptr, FALSE, kUpdateLockName);
        if (updateLock == nullptr) {
            // Without the lock object nothing can be known of other programs; refusing here would
            // keep the operator from ever updating, so this program goes on alone.
            return true;
        }
    }
    // No wait: another program's update takes minutes, and the operator is told at once instead.
    // An abandoned lock belonged to a program that ended in an update; it is this thread's now.
    const DWORD taken = WaitForSingleObject(updateLock, 0);
    return taken == WAIT_OBJECT_0 || taken == WAIT_ABANDONED;
}

void ReleaseUpdateLock() {
    if (updateLock != nullptr) {
        ReleaseMutex(updateLock);
    }
}

}  // namespace quorvanex
