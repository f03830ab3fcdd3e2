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

// A QUORVANEX as the benchmarks and rehearsals take it: a 32-byte page programmed in about 0.1 ms
// and a 64 KiB block erased in about 150 ms, as common serial flashes do, and half a second of
// write active.
constexpr DeviceTimings TypicalTimings(std::uint32_t replyLatencyMicroseconds) {
    return {replyLatencyMicroseconds, 100, 150000, 500000};
}

}  // namespace quorvanex::emulator
