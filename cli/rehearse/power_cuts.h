// rehearse --power-cuts: the update of the image set against the emulator, once for each point
// at which the power can fail, with the power lost there (and with --dips, again with the power
// back after each of a few dips); then the device powered up with the flash that the cut left, and
// the whole update run again. The map says, for each cut, what the operator saw and how soon,
// what the image region held after the cut, and whether the point passed: no "FLASH update ok"
// without every image whole, and the update run again restored every sector it erases.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/image_set.h"
#include "cli/json_line.h"
#include "cli/rehearse/power_cut_points.h"
#include "emulator/emulated_bridge.h"

namespace quorvanex::cli {

// The verdicts of a cut: it passed; the cut run said "FLASH update ok" without every image whole;
// the update run again did not restore the device.
inline constexpr const char* kVerdictPassed = "passed";
inline constexpr const char* kVerdictFalseOk = "FALSE OK";
inline constexpr const char* kVerdictNotRestored = "NOT RESTORED";

// What one cut gave.
struct CutPointResult {
    CutPoint at;
    std::optional<std::uint32_t> dipMilliseconds;  // the power back after so long; none: never
    std::string point;                             // where, and the dip
    std::string lastLine;                          // the last status line painted
    std::vector<std::string> boxes;                // every box, in order
    int exitCode = 0;                              // as a rehearsal of the cut run ends
    double seconds = 0;                            // the cut run, from its start
    // From the cut to the first box that tells of a failure; none when nothing failed.
    std::optional<double> secondsUntilTold;
    std::string region;     // old image, erased, partly written, new image
    bool restored = false;  // the update run again left every sector it erases as it must
    bool falseOk = false;   // "FLASH update ok" after the cut without every image whole

    bool Passed() const { return restored && !falseOk; }
    const char* Verdict() const {
        return falseOk ? kVerdictFalseOk : restored ? kVerdictPassed : kVerdictNotRestored;
    }
};

struct SweepOptions {
    std::optional<std::uint32_t> every;  // one page frame in so many; none: chosen
    bool dips = false;                   // each point also with the power back after each dip
    bool harsh = false;                  // a flash that a cut leaves in unknown bits
};

// The dips of --dips, in milliseconds: each ends in another window of the program's own waits.
const std::vector<std::uint32_t>& SweepDips();
// A dip in words: "5 ms", "1.5 s".
std::string DipWords(std::uint32_t milliseconds);

// The cuts of a sweep, planned from the update without a cut before the first is made.
struct SweepPlan {
    std::vector<CutPoint> points;
    std::uint32_t pagesBetweenCuts = 1;
    std::vector<std::optional<std::uint32_t>> dips;  // none first: the power off for good
    std::size_t Cuts() const { return points.size() * dips.size(); }
};
SweepPlan PlanPowerCuts(const ImageSetReport& set, const emulator::DeviceConfig& device,
                        const SweepOptions& options);

struct PowerCutSweep {
    std::vector<CutPointResult> points;
    std::uint32_t pagesBetweenCuts = 1;
    std::vector<std::size_t> failed;  // the indices of the points that did not pass
    bool complete = true;             // every cut was run
};

// The sweep over the set in the current folder, with the scenario's device. restoringDevice
// changes the device of each second run (a test gives a broken one to see the sweep fail), and
// each result is handed to done as soon as it and those before it are there.
PowerCutSweep SweepPowerCuts(
    const ImageSetReport& set, const emulator::DeviceConfig& device, const SweepOptions& options,
    const std::function<void(emulator::DeviceConfig&)>& restoringDevice = {},
    const std::function<void(const CutPointResult&, std::size_t total)>& done = {});

// A result as its cut event, and back: the worker processes of a sweep hand on their results so.
JsonLine CutPointEvent(const CutPointResult& result);
CutPointResult CutPointFromEvent(const Json& event);

// The command: the map as a table or as JSON events, and the exit code.
int RehearsePowerCuts(const Arguments& arguments, const ImageSetReport& set);

}  // namespace quorvanex::cli
