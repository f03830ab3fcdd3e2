#include "cli/console/update_clock.h"

#include "cli/cli_texts.h"
#include "cli/console/console_platform.h"
#include "update/device_change.h"

namespace quorvanex::cli {

void UpdateClock::Pause(std::uint32_t milliseconds) {
    report_.ExchangeEnded();
    LookForStop();
    clock_.Pause(milliseconds);
}

std::uint32_t UpdateClock::TickCount() {
    LookForStop();
    return clock_.TickCount();
}

void UpdateClock::LookForStop() {
    const unsigned requests = stopRequests_ ? stopRequests_() : 0;
    if (requests == 0) {
        return;
    }
    // Nothing sent yet, or the device told that it is done: nothing is lost by stopping.
    if (!DeviceBeingChanged() || requests >= 2) {
        throw UpdateStopped{};
    }
    if (!stopWarned_) {
        stopWarned_ = true;
        WriteError(Said(kStopWhileWriting) + "\n");
    }
}

}  // namespace quorvanex::cli
