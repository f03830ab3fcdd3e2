#include "cli/update/update_set_up.h"

#include "cli/check.h"
#include "cli/cli_texts.h"
#include "cli/console/console_platform.h"
#include "cli/devices.h"
#include "cli/exit_codes.h"
#include "cli/refusals.h"
#include "cli/update/unit_record.h"
#include "seam/binary_file.h"
#include "text/utf8.h"

namespace quorvanex::cli {
namespace {

// The text of a file option: its whole content, or standard input for "-". False, told, when it
// cannot be read.
bool ReadNamedFile(const std::string& name, const CommandLineText<1>& unreadable, bool json,
                   std::string& text) {
    if (name == kStandardStream) {
        text = ReadStandardInput();
        return true;
    }
    if (ReadWholeFile(WidePathFromUtf8(name).c_str(), text)) {
        return true;
    }
    RefuseFile(json, name, unreadable);
    return false;
}

}  // namespace

bool ReadExpectedSet(const Arguments& arguments, std::optional<ApprovedSet>& approved) {
    if (arguments.expectFile.empty()) {
        return true;
    }
    std::string text;
    if (!ReadNamedFile(arguments.expectFile, kSumsUnreadable, arguments.json, text)) {
        return false;
    }
    std::string problem;
    approved = ReadApprovedSet(text, problem);
    if (!approved) {
        Refuse(arguments.json, Said(kSumsRefused, {arguments.expectFile, problem}));
        return false;
    }
    return true;
}

bool SetMayBeWritten(const Arguments& arguments, const ImageSetReport& set,
                     const std::optional<ApprovedSet>& approved) {
    if (!set.updateWouldStart) {
        ShowImageSet(set, arguments.json, true);
        return false;
    }
    std::string problem;
    if (approved && !SetMatchesApproved(set, *approved, problem)) {
        Refuse(arguments.json, Said(kSetNotApproved, {arguments.expectFile, problem}),
               Outcome::NotApproved);
        return false;
    }
    return true;
}

bool RecordFileUsable(const Arguments& arguments) {
    if (RecordFile(arguments.recordFile).Usable()) {
        return true;
    }
    RefuseFile(arguments.json, arguments.recordFile, kRecordFileUnusable);
    return false;
}

UpdateSetUp SetUpUpdate(const Arguments& arguments, ProgramClock& clock) {
    UpdateSetUp setUp;
    // The files named are checked before anything is looked at or touched.
    if (!RecordFileUsable(arguments) || !ReadExpectedSet(arguments, setUp.approved)) {
        setUp.stopped = SetUpStop{kExitUsage, std::nullopt};
        return setUp;
    }
    setUp.set = ExamineImageSet();
    if (!SetMayBeWritten(arguments, setUp.set, setUp.approved)) {
        setUp.stopped =
            SetUpStop{kExitImagesRefused,
                      setUp.set.updateWouldStart ? Outcome::NotApproved : Outcome::Refused};
        return setUp;
    }
    ConsoleReport report(clock, ReportStyle(arguments), {});
    if (!BridgeReady(report)) {
        setUp.stopped = SetUpStop{kExitNoDevice, Outcome::NoLibrary};
    }
    return setUp;
}

}  // namespace quorvanex::cli
