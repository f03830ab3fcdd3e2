// The update worker: one whole firmware update of the QUORVANEX. Which entry each program calls:
// - the window: StartUpdateWorker (update/update_run.h) on the menu command, which runs
//   UpdateWorker on a thread of its own;
// - quorvanex-cli update: RunUpdateUnderLock (update/update_run.h) for the unit it has chosen;
// - quorvanex-cli rehearse: RunUpdate, against the built-in emulator, with no lock to take;
// - the tests, the fuzzers and the benchmarks: UpdateWorker, as the window's thread runs it.
// The window takes the first QUORVANEX; the command line names the unit by its index.
#pragma once

#include <cstdint>
#include <optional>

#include "link/device_connection.h"
#include "update/image_set.h"

namespace quorvanex {

// How an update that returned ended. A failed step does not return: it ends in the fatal stop.
enum class UpdateOutcome {
    Finished,           // the device confirmed the update; the operator was told to power-cycle it
    NotStarted,         // a file missing or refused, no bridge library, or no device opened
    AnotherUpdateRuns,  // another update holds the unit's lock across programs
};

// The update's steps, from the look at the files to the finish, and nothing around them. With a
// device index, the device at that index of the bridge's list is updated, and only when it is a
// QUORVANEX; without one, the first QUORVANEX.
// With a claim, it is made on the unit found before the unit is opened (the lock across programs);
// a unit claimed elsewhere is told as another update that runs, and not touched.
UpdateOutcome RunUpdate(std::optional<std::uint32_t> deviceIndex, UnitClaim claim = nullptr);

// The window's worker thread: the update of the first QUORVANEX under the lock across programs,
// then the mark that no update runs here any more. The start parameter is not used. Returns 0 on
// every way out that returns (file missing or wrong, no device, another program's update,
// success); a failed step ends the process in the fatal stop.
std::uint32_t UpdateWorker(void* startParameter);

}  // namespace quorvanex
