#include "cli/cli_texts.h"
#include "cli/command_support.h"
#include "cli/console_platform.h"

namespace quorvanex::cli {

int RunCommandLine(const std::vector<std::string>& words) {
    std::string problem;
    const std::optional<Arguments> parsed = ParseArguments(words, problem);
    if (!parsed) {
        WriteError(Said(kUsageProblem, {problem}) + "\n\n" + UsageText());
        return kExitUsage;
    }
    const std::optional<Arguments> arguments = WithAbsolutePaths(*parsed);
    if (!arguments || !EnterImageFolder(*arguments)) {
        return kExitUsage;
    }
    return RunCommand(*arguments);
}

}  // namespace quorvanex::cli
