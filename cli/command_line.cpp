#include "cli/all_units.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/console_platform.h"

namespace quorvanex::cli {

int RunCommandLine(const std::vector<std::string>& words) {
    std::string problem;
    const std::optional<Arguments> arguments = ParseArguments(words, problem);
    if (!arguments) {
        WriteOutput("quorvanex-cli: " + problem + "\n\n" + kUsage);
        return kExitUsage;
    }
    if (arguments->command == Command::Help) {
        WriteOutput(kUsage);
        return kExitDone;
    }
    if (!EnterImageFolder(*arguments)) {
        return kExitUsage;
    }
    switch (arguments->command) {
        case Command::Check:
            return RunCheck(*arguments);
        case Command::Devices:
            return RunDevices(*arguments);
        case Command::Update:
            return arguments->allUnits ? RunAllUnitUpdates(*arguments)
                                       : RunDeviceUpdate(*arguments);
        case Command::Rehearse:
            return RunRehearsal(*arguments);
        case Command::Help:
            break;
    }
    return kExitDone;
}

}  // namespace quorvanex::cli
