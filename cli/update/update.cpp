// update: one unit, or with --all every attached unit at once, on the system's clock and with the
// console's requests to stop.
#include <memory>

#include "cli/commands.h"
#include "cli/console/console_platform.h"
#include "cli/exit_codes.h"
#include "cli/update/all_units.h"
#include "cli/update/one_unit.h"

namespace quorvanex::cli {

int RunUpdateCommand(const Arguments& arguments) {
    WatchStopRequests();
    SystemProgramClock clock;
    int exitCode = kExitDone;
    if (arguments.allUnits) {
        const std::unique_ptr<ChildProcesses> children = SystemChildProcesses();
        exitCode = UpdateEveryUnit(arguments, *children, {ThisProgramPath()}, clock, &StopRequests,
                                   &ConsoleClosing);
    } else {
        exitCode = UpdateOneUnit(arguments, clock, &StopRequests);
    }
    StopRequestsAnswered();
    return exitCode;
}

}  // namespace quorvanex::cli
