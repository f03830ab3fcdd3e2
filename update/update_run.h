// The update under the lock across programs (update/update_lock.h): one update per unit on this
// PC, whichever copy of the program runs it. The command line's update calls this for the unit it
// has chosen; the window's worker for the first QUORVANEX.
#pragma once

#include <cstdint>
#include <optional>

#include "update/update_steps.h"

namespace quorvanex {

// The update's steps on the caller's thread, with the unit's lock taken once the unit is found and
// given back however the update ends. When another program holds the lock the operator is told,
// as for a second update here, and nothing is touched.
UpdateOutcome RunUpdateUnderLock(std::optional<std::uint32_t> deviceIndex);

}  // namespace quorvanex
