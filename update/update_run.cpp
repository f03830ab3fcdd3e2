#include "update/update_run.h"

#include <atomic>

#include "update/update_lock.h"
#include "update/update_texts.h"
#include "update/update_worker.h"

namespace quorvanex {
namespace {

// Set on the main thread when a worker is started, cleared on the worker's thread when it ends.
std::atomic<bool> updateRunning{false};
// Written on the worker's thread, read on the main thread when the operator asks to close.
std::atomic<bool> deviceBeingChanged{false};

}  // namespace

bool StartUpdateWorker(bool (*startWorkerThread)()) {
    bool expected = false;
    if (!updateRunning.compare_exchange_strong(expected, true)) {
        ShowNotice(kUpdateAlreadyRunning);
        return false;
    }
    if (!startWorkerThread()) {
        updateRunning = false;
        return false;
    }
    return true;
}

UpdateOutcome RunUpdateUnderLock(std::optional<std::uint32_t> deviceIndex) {
    // The unit's lock is taken once the unit is found, and given back however the update ends: a
    // caller whose process end unwinds (the command line) goes on afterwards.
    struct LockGivenBack {
        ~LockGivenBack() { ReleaseUpdateLock(); }
    } givenBack;
    return RunUpdate(deviceIndex, &TakeUpdateLock);
}

void MarkUpdateRunEnded() {
    updateRunning = false;
}

bool UpdateRunning() {
    return updateRunning;
}

bool DeviceBeingChanged() {
    return deviceBeingChanged;
}

void MarkDeviceChangeStarted() {
    deviceBeingChanged = true;
}

void MarkDeviceChangeEnded() {
    deviceBeingChanged = false;
}

}  // namespace quorvanex
