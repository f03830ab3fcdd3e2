// One update at a time. Two workers would share the device connection, the link lock and the
// multi-part flag, and could write the flash over each other; the window starts a worker only when
// none runs, and asks before it closes while one does.
#pragma once

namespace quorvanex {

// Starts an update with the given thread starter unless one runs already; tells the operator when
// one does. startWorkerThread returns false when no thread could be started.
bool StartUpdateRun(bool (*startWorkerThread)());
// The thread's body: the worker, then the mark that no update runs any more.
unsigned RunUpdateWorker(void* startParameter);
bool UpdateRunning();

}  // namespace quorvanex
