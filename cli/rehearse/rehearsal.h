// What the rehearsals share: the emulated device that a scenario describes, the images of the set
// as the update loads them, and whether an emulated flash holds them.
#pragma once

#include <cstdint>
#include <vector>

#include "cli/arguments.h"
#include "cli/image_set.h"
#include "emulator/emulated_bridge.h"
#include "emulator/scenario.h"

namespace quorvanex::cli {

// A full-speed USB link answers a frame in about a millisecond.
inline constexpr std::uint32_t kDefaultLatency = 1000;

// The device of a rehearsal: a QUORVANEX with typical timings, changed by whatever the scenario
// file says, at the reply latency asked for. False when the scenario cannot be read, which has
// been told.
bool RehearsalScenario(const Arguments& arguments, emulator::Scenario& scenario);

// The data of each file that the update writes, in order, as the update loads it.
std::vector<std::vector<std::uint8_t>> LoadImagesOfSet(const ImageSetReport& set);

// Whether the emulated flash holds every image: each image of a multi-part update in the snapshot
// taken at the write active after it, a single image in its region; and every other byte of the
// sectors erased for it erased.
bool FlashHoldsImages(const ImageSetReport& set,
                      const std::vector<std::vector<std::uint8_t>>& images,
                      const emulator::EmulatedDevice& device);

// The device that the update opened: the QUORVANEX of the scenario, wherever it stands in the
// bridge's list; nullptr when none was opened.
const emulator::EmulatedDevice* UpdatedDevice(emulator::EmulatedBridge& bridge);

}  // namespace quorvanex::cli
