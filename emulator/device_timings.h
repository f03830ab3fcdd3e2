#pragma once

#include <cstdint>

namespace quorvanex::emulator {

// How long the device takes. The defaults answer at once; tests and scenarios set what they need.
struct DeviceTimings {
    // From the end of a frame's write to the first reply byte in the receive queue.
    std::uint32_t replyLatencyMicroseconds = 0;
    // A page frame is answered only after the flash has programmed it.
    std::uint32_t pageProgramMicroseconds = 0;
    // The write-in-progress bit stays set this long after a sector erase.
    std::uint32_t sectorEraseMicroseconds = 0;
    // After write active (0xD9) the ready poll answers "not ready" this long.
    std::uint32_t writeActiveBusyMicroseconds = 0;
};

}  // namespace quorvanex::emulator
