// The time that a whole update takes at the least, by rule from the protocol alone: every exchange
// a correct program needs, each taking the link's reply latency and the device's own time, and the
// pauses that the protocol prescribes. Nothing here is taken from a run of the program, so a
// program that waits anywhere longer than it must shows a ratio above 1 against it.
#pragma once

#include <cstdint>
#include <vector>

#include "emulator/device_timings.h"

namespace quorvanex::bench {

struct ImageToWrite {
    std::uint32_t sectorCount;  // of the region that the image's ID names
    std::uint64_t dataSize;     // bytes after the ID
};

struct IdealUpdate {
    std::uint64_t microseconds = 0;
    std::uint64_t exchanges = 0;
};

// images: the main image first; a multi-part update has the four parts after it.
IdealUpdate IdealUpdateTime(const emulator::DeviceTimings& timings,
                            const std::vector<ImageToWrite>& images);

}  // namespace quorvanex::bench
