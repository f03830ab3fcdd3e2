#include "cli/command_line.h"

#include "cli/cli_texts.h"
#include "cli/console/console_platform.h"
#include "cli/exit_codes.h"
#include "cli/refusals.h"

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

std::optional<Arguments> WithAbsolutePaths(Arguments arguments) {
    for (std::string* file :
         {&arguments.recordFile, &arguments.expectFile, &arguments.scenarioFile}) {
        if (file->empty() || *file == kStandardStream) {
            continue;
        }
        const std::optional<std::string> absolute = AbsolutePath(*file);
        if (!absolute) {
            Refuse(arguments.json, Said(kCurrentFolderUnknown, {*file}));
            return std::nullopt;
        }
        *file = *absolute;
    }
    return arguments;
}

bool EnterImageFolder(const Arguments& arguments) {
    if (arguments.folder.empty() || ChangeCurrentFolder(arguments.folder)) {
        return true;
    }
    Refuse(arguments.json, Said(kFolderCannotBeOpened, {arguments.folder}));
    return false;
}

}  // namespace quorvanex::cli
