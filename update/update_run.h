// One update at a time. Two workers would share the device connection, the link lock and the
// multi-part flag, and could write the flash over each other; the window starts a worker only when
// none runs. Another copy of the program on the same PC is kept off the device as well: the
// worker's thread holds the update lock across programs while it runs.
#pragma once

#include <cstdint>
#include <optional>

#include "update/update_worker.h"

namespace quorvanex {

// Starts an update with the given thread starter unless one runs already; tells the operator when
// one does. startWorkerThread returns false when no thread could be started.
bool StartUpdateRun(bool (*startWorkerThread)());
// The thread's body: the worker, then the mark that no update runs any more. When another program
// holds the update lock the operator is told, as for a second update here, and nothing is touched.
unsigned RunUpdateWorker(void* startParameter);
bool UpdateRunning();
// The update as the worker's thread runs it, under the lock across programs, for a caller that
// runs it on its own thread (the command line) and wants its outcome.
UpdateOutcome RunUpdateUnderLock(std::optional<std::uint32_t> deviceIndex);

// True from the first command sent to the device until the finish has sent its last state command:
// closing the program in that time leaves the flash partly written. The worker marks both ends; the
// fatal stop ends it too, since the process is ending anyway.
bool DeviceBeingChanged();
void MarkDeviceChangeStarted();
void MarkDeviceChangeEnded();

}  // namespace quorvanex
