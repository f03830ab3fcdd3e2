// The update worker: one whole firmware update of the QUORVANEX, on a thread of its own.
#pragma once

#include <cstdint>
#include <optional>

#include "update/image_set.h"

namespace quorvanex {

// How an update that returned ended. A failed step does not return: it ends in the fatal stop.
enum class UpdateOutcome {
    Finished,           // the device confirmed the update; the operator was told to power-cycle it
    NotStarted,         // a file missing or refused, no bridge library, or no device opened
    AnotherUpdateRuns,  // another update holds the lock across programs
};

// The whole update. With a device index, the device at that index of the bridge's list is
// updated, and only when it is a QUORVANEX; without one, the first QUORVANEX.
UpdateOutcome RunUpdate(std::optional<std::uint32_t> deviceIndex);

// The thread's entry. The start parameter is not used. Returns 0 on every way out that returns
// (file missing or wrong, no device, success); a failed step ends the process in the fatal stop.
std::uint32_t UpdateWorker(void* startParameter);

}  // namespace quorvanex
