// update: one unit, or with --all every attached unit at once, on the system's clock and with the
// console's requests to stop.
#include <memory>

#include "cli/commands.h"
#include "cli/console/console_platform.h"
#include "cli/update/all_units.h"
#include "cli/update/one_unit.h"

namespace quorvanex::cli {
namespace {

int UpdateOneUnitOnTheConsole(const Arguments& arguments) {
    WatchStopRequests();
    SystemProgramClock clock;
    const int exitCode = UpdateOneUnit(arguments, clock, &StopRequests);
    StopRequestsAnswered();
    return exitCode;
}

int UpdateEveryUnitOnTheConsole(const Arguments& arguments) {
    WatchStopRequests();
    const std::unique_ptr<ChildProcesses> children = SystemChildProcesses();
    SystemProgramClock clock;
    const int exitCode = UpdateEveryUnit(arguments, *children, {ThisProgramPath()}, clock,
                                         &StopRequests, &ConsoleClosing);
    StopRequestsAnswered();
    return exitCode;
}

}  // namespace

int RunUpdateCommand(const Arguments& arguments) {
    return arguments.allUnits ? UpdateEveryUnitOnTheConsole(arguments)
                              : UpdateOneUnitOnTheConsole(arguments);
}

}  // namespace quorvanex::cli
