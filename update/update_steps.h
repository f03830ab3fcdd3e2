// The update's steps, from the look at the files to the finish: the fixed order of state commands,
// the speed select, the main image and, for a multi-part image, the four part files with their
// ready waits. Nothing around them: the lock across programs is update/update_run.h's, the
// window's thread update/update_worker.h's. A failed step ends in the fatal stop and does not
// return.
#pragma once

#include <cstdint>
#include <optional>

#include "link/device_connection.h"
#include "update/image_set.h"

namespace quorvanex {

// How an update that returned ended. A failed step does not return: it ends in the fatal stop.
enum class UpdateOutcome {
    Finished,           // the device confirmed the update; the operator was told to power-cycle it
    NotStarted,         // a file missing or refused, no bridge library, or no QUORVANEX found
    NotOpened,          // the QUORVANEX was found, but could not be opened
    AnotherUpdateRuns,  // another update holds the unit's lock across programs
};

// With a device index, the device at that index of the bridge's list is updated, and only when it
// is a QUORVANEX; without one, the first QUORVANEX. With a claim, it is made on the unit found
// before the unit is opened (the lock across programs); a unit claimed elsewhere is told as another
// update that runs, and not touched.
UpdateOutcome RunUpdate(std::optional<std::uint32_t> deviceIndex, UnitClaim claim = nullptr);

// The process-wide values as a fresh process has them: no device open and the link lock deleted,
// no multi-part flag, no recorded fatal stop, no device being changed. An update leaves them set,
// and the program runs one update in its life; a program that runs many against the emulator (a
// sweep of power cuts) starts each one from here.
void ForgetPreviousUpdate();

}  // namespace quorvanex
