// The commands of quorvanex-cli, each run by its row of the command table (cli/command_table.cpp)
// and returning the program's exit code (cli/exit_codes.h). Each lives where its name says:
// cli/check.cpp, cli/devices.cpp, cli/update/, cli/rehearse/, cli/report/.
#pragma once

#include "cli/arguments.h"

namespace quorvanex::cli {

int RunCheckCommand(const Arguments& arguments);
int RunDevicesCommand(const Arguments& arguments);
int RunUpdateCommand(const Arguments& arguments);
int RunRehearseCommand(const Arguments& arguments);
int RunReportCommand(const Arguments& arguments);

}  // namespace quorvanex::cli
