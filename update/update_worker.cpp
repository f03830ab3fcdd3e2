#include "update/update_worker.h"

#include <atomic>

#include "seam/operator_services.h"
#include "update/update_run.h"
#include "update/update_texts.h"

namespace quorvanex {
namespace {

// Set on the main thread when a worker is started, cleared on the worker's thread as it ends.
std::atomic<bool> updateRunning{false};

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

bool UpdateRunning() {
    return updateRunning;
}

std::uint32_t UpdateWorker(void* /*startParameter*/) {
    RunUpdateUnderLock(std::nullopt);
    updateRunning = false;
    return 0;
}

}  // namespace quorvanex
