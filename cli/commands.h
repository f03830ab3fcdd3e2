// The command line's commands, each returning the program's exit code.
#pragma once

#include "cli/arguments.h"

namespace quorvanex::cli {

class ProgramClock;

enum ExitCode : int {
    kExitDone = 0,
    kExitUsage = 2,
    kExitImagesRefused = 3,
    kExitNoDevice = 4,
    kExitRehearsalMismatch = 5,
    kExitUnitsNotUpdated = 6,  // update --all: a unit was not updated
    kExitFatalBase = 10,       // plus the fatal code
};

int RunCheck(const Arguments& arguments);
int RunDevices(const Arguments& arguments);
int RunDeviceUpdate(const Arguments& arguments);
// The update on the clock given: the system's, or in the tests the emulator's virtual time.
int RunDeviceUpdate(const Arguments& arguments, ProgramClock& clock);
int RunRehearsal(const Arguments& arguments);

}  // namespace quorvanex::cli
