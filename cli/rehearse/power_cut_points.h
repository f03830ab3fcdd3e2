// The points at which rehearse --power-cuts cuts the power, read from the frames of the update
// without a cut: which frame, at what moment, and where in the image set it falls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/image_set.h"
#include "emulator/device_faults.h"
#include "emulator/trace.h"

namespace quorvanex::cli {

struct CutPoint {
    emulator::PowerCut cut;  // the frame and the moment; never a dip
    // As "during page-write 640 (ZELMAR.0.1.OSD.03.bin, sector 17, 0x114FE0)".
    std::string where;
    // The image file whose block of frames the point falls in (a state command: the image it
    // comes before; none after the last one), the sector and the flash address it touches.
    std::optional<std::string> image;
    std::optional<std::uint32_t> sector;
    std::optional<std::uint32_t> address;
};

// Every point at which the sweep cuts the power, in the order the update reaches them: each state
// command before and after it, each write enable before and after, each erase before, during and
// after, the first ready poll of each write-active wait, and one page frame in so many (during its
// program) with the last of them after it.
std::vector<CutPoint> CutPoints(const std::vector<emulator::TraceEntry>& frames,
                                const ImageSetReport& set, std::uint32_t pagesBetweenCuts);

// One page frame in how many is a cut point: every, or so many that the sweep stays short.
std::uint32_t PagesBetweenCuts(const std::vector<emulator::TraceEntry>& frames,
                               std::optional<std::uint32_t> every);

}  // namespace quorvanex::cli
