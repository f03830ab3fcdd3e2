// The window's update worker: the menu command starts it on a thread of its own, and it runs the
// update of the first QUORVANEX under the lock across programs (update/update_run.h), which runs
// the update's steps (update/update_steps.h). One update at a time: two workers would share the
// device connection, the link lock and the multi-part flag, and could write the flash over each
// other, so a worker is started only when none runs.
#pragma once

#include <cstdint>

namespace quorvanex {

// Starts UpdateWorker with the given thread starter unless an update runs already; tells the
// operator when one does. startWorkerThread returns false when no thread could be started.
bool StartUpdateWorker(bool (*startWorkerThread)());
bool UpdateRunning();

// The worker thread's routine. The start parameter is not used. Returns 0 on every way out that
// returns (file missing or wrong, no device, another program's update, success); a failed step
// ends the process in the fatal stop. The tests, the fuzzers and the benchmarks call it as the
// window's thread does.
std::uint32_t UpdateWorker(void* startParameter);

}  // namespace quorvanex
