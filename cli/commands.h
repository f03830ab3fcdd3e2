// The command line's commands, each returning the program's exit code (cli/command_support.h).
#pragma once

#include "cli/arguments.h"
#include "cli/command_support.h"

namespace quorvanex::cli {

class ProgramClock;

int RunCheck(const Arguments& arguments);
int RunDevices(const Arguments& arguments);
int RunDeviceUpdate(const Arguments& arguments);
// The update on the clock given: the system's, or in the tests the emulator's virtual time; the
// operator's requests to stop counted by the function given (the console's, or a test's).
int RunDeviceUpdate(const Arguments& arguments, ProgramClock& clock,
                    unsigned (*stopRequests)() = nullptr);
int RunRehearsal(const Arguments& arguments);

}  // namespace quorvanex::cli
