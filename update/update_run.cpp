#include "update/update_run.h"

#include <atomic>

#include "seam/operator_services.h"
#include "update/update_worker.h"

namespace quorvanex {
namespace {

// Set on the main thread when a worker is started, cleared on the worker's thread when it ends.
std::atomic<bool> updateRunning{false};

}  // namespace

bool StartUpdateRun(bool (*startWorkerThread)()) {
    bool expected = false;
    if (!updateRunning.compare_exchange_strong(expected, true)) {
        ShowNotice(L"An update is already running. Wait until it has finished.", L"Update running",
                   NoticeIcon::Information);
        return false;
    }
    if (!startWorkerThread()) {
        updateRunning = false;
        return false;
    }
    return true;
}

unsigned RunUpdateWorker(void* startParameter) {
    const unsigned result = UpdateWorker(startParameter);
    updateRunning = false;
    return result;
}

bool UpdateRunning() {
    return updateRunning;
}

}  // namespace quorvanex
