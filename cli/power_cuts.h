// rehearse --power-cuts: the update of the image set against the emulator, once for each point
// at which the power can fail, with the power lost there; then the device powered up with the
// flash that the cut left, and the whole update run again. The map says, for each cut point, what
// the operator saw, what the flash region held after the cut, and whether running the update again
// restored every image.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/image_set.h"
#include "emulator/device_faults.h"
#include "emulator/emulated_bridge.h"

namespace quorvanex::cli {

// What one cut point gave.
struct CutPointResult {
    std::string point;  // as "during page-write 640 (QUORVANEX-FPGA-2.45-1013.bin, 0x104fe0)"
    emulator::PowerCut cut;
    std::string lastLine;            // the last status line painted
    std::vector<std::string> boxes;  // every box, in order
    int exitCode = 0;                // as a rehearsal of the cut run ends
    std::string region;              // old image, erased, partly written, new image
    bool restored = false;           // the update run again afterwards wrote every image
    bool passed = false;             // restored, and no "FLASH update ok" without every image
};

struct PowerCutSweep {
    std::vector<CutPointResult> points;
    std::uint32_t pagesBetweenCuts = 1;
    std::optional<std::size_t> firstFailed;
};

// The sweep over the set in the current folder, with the scenario's device. every: one page frame
// in so many is a cut point (nothing: chosen so that the sweep stays short). restoringDevice
// changes the device of each second run; a test gives a broken one to see the sweep fail.
PowerCutSweep SweepPowerCuts(
    const ImageSetReport& set, const emulator::DeviceConfig& device,
    std::optional<std::uint32_t> every,
    const std::function<void(emulator::DeviceConfig&)>& restoringDevice = {},
    const std::function<void(std::size_t done, std::size_t total)>& progress = {});

// The command: the map as a table or as JSON events, and the exit code.
int RunPowerCutSweep(const Arguments& arguments, const ImageSetReport& set);

}  // namespace quorvanex::cli
