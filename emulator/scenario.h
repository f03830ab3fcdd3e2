// A scenario for the emulator, read from a small text file: the devices attached, their timings
// and faults, and where the results go. One statement a line; '#' starts a comment.
//
//   device 2026                      attaches a device with this serial (later lines: this one)
//   product QUORVANEX emulator       its product string (the rest of the line)
//   reply-latency-us 1000            timings, for every device
//   page-program-us 100
//   sector-erase-us 150000
//   write-active-busy-us 500000
//   fault close-fails                a fault of the device as a whole
//   exchange-fault wrong-reply page-write 3 [2] [checks=N]
//                                    a fault of single exchanges: the frames it strikes, the
//                                    occurrence and the count (0: from then on; 1 when left out),
//                                    and the number that the fault takes, if it takes one
//   power-cut page-write 40 during   the device's power lost at a frame: before it arrives,
//                                    during its erase or program, or after its reply
//   power-cut sector-erase 3 after back-after-ms=1500
//                                    the same, with the power back 1.5 s later (a dip)
//   flash-from old/flash.bin         the device powers up with this flash (from address 0)
//   count-fails                      the device count query fails
//   output-flash out/flash.bin       the whole flash of the first device
//   output-snapshots out/snapshot    one file a write active: out/snapshot-0.bin, ...
//   output-trace out/trace.txt       every frame and reply
//   output-summary out/summary.txt   calls, control codes, snapshots, misuses
//   output-flash out/flash-{unit}.bin  with {unit} in a path: each device that the program
//                                    opened writes its own, {unit} its index, and the trace and
//                                    summary tell of that device alone (several programs, each
//                                    updating its own unit, then never write over one another)
//
// The faults and the frames they can strike are the rows of emulator/device_faults.h and
// emulator/loader.h; ScenarioFaults() lists them with what each does.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "emulator/emulated_bridge.h"

namespace quorvanex::emulator {

struct ScenarioOutputs {
    std::string flashPath;
    std::string snapshotPrefix;
    std::string tracePath;
    std::string summaryPath;
};

struct Scenario {
    std::vector<DeviceConfig> devices;
    bool countFails = false;
    ScenarioOutputs outputs;
};

// What a scenario starts from, for a reader that has its own (a rehearsal).
struct ScenarioDefaults {
    DeviceTimings timings;       // what the timing statements change
    bool timingsGiven = false;   // the timings apply even when no statement changes them
    bool impliedDevice = false;  // a QUORVANEX (serial 2026) is there when no device is named
};

// False, with the line and what is wrong in error, when a line cannot be read.
bool ParseScenario(std::string_view text, Scenario& scenario, std::string& error,
                   const ScenarioDefaults& defaults = {});

// The faults of the scenario language, from their tables: each with its word and what it does.
std::string ScenarioFaults();

// Attaches the scenario's devices to the bridge.
void AttachScenarioDevices(const Scenario& scenario, EmulatedBridge& bridge);

// Writes whatever outputs the scenario names. False when a file could not be written.
bool WriteScenarioOutputs(const ScenarioOutputs& outputs, EmulatedBridge& bridge);

}  // namespace quorvanex::emulator
