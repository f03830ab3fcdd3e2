#include "update/update_run.h"

#include "update/update_lock.h"

namespace quorvanex {

UpdateOutcome RunUpdateUnderLock(std::optional<std::uint32_t> deviceIndex) {
    // Given back however the update ends: a caller whose fatal stop unwinds (the command line)
    // goes on afterwards, and must not keep the unit from the next update.
    struct LockGivenBack {
        ~LockGivenBack() { ReleaseUpdateLock(); }
    } givenBack;
    return RunUpdate(deviceIndex, &TakeUpdateLock);
}

}  // namespace quorvanex
