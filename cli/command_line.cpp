#include "cli/cli_texts.h"
#include "cli/command_support.h"
#include "cli/console_platform.h"

namespace quorvanex::cli {
namespace {

int RunWords(const std::vector<std::string>& words) {
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

}  // namespace

int RunCommandLine(const std::vector<std::string>& words) {
    // Each command's output is judged on its own, as sha256sum judges its own: what could not be
    // written is said, and the exit code says so unless it says something else already.
    TakeOutputFailure();
    const int exitCode = RunWords(words);
    if (!TakeOutputFailure()) {
        return exitCode;
    }
    WriteError(Said(kOutputNotWritten) + "\n");
    return exitCode == kExitDone ? kExitOutputNotWritten : exitCode;
}

}  // namespace quorvanex::cli
