// One update at a time. Two workers would share the device connection, the link lock and the
// multi-part flag, and could write the flash over each other; the window starts a worker only when
// none runs. Another copy of the program on the same PC is kept off the unit being updated as
// well: the update holds that unit's lock across programs (update/update_lock.h) while it runs.
#pragma once

#include <cstdint>
#include <optional>

#include "update/update_worker.h"

namespace quorvanex {

// Starts the update worker (UpdateWorker) with the given thread starter unless an update runs
// already; tells the operator when one does. startWorkerThread returns false when no thread could
// be started.
bool StartUpdateWorker(bool (*startWorkerThread)());
bool UpdateRunning();
// Called by the worker as it ends.
void MarkUpdateRunEnded();
// The update under the lock across programs, on the caller's thread, with its outcome. When
// another program holds the lock the operator is told, as for a second update here, and nothing is
// touched.
UpdateOutcome RunUpdateUnderLock(std::optional<std::uint32_t> deviceIndex);

// True from the first command sent to the device until the finish has sent its last state command:
// closing the program in that time leaves the flash partly written. The worker marks both ends; the
// fatal stop ends it too, since the process is ending anyway.
bool DeviceBeingChanged();
void MarkDeviceChangeStarted();
void MarkDeviceChangeEnded();

}  // namespace quorvanex
