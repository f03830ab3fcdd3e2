// What the update of one unit and update --all do before anything is touched, in this order: the
// files named checked (the record file can be written, the approved set of --expect read), the
// image set looked at and held to the approved set, the bridge library made ready.
#pragma once

#include <optional>

#include "cli/arguments.h"
#include "cli/console/console_report.h"
#include "cli/events.h"
#include "cli/image_set.h"

namespace quorvanex::cli {

// What stopped an update before anything was touched, told already: the exit code, and how a
// unit's update ends so (none when a file named cannot be used, before any unit is looked at).
struct SetUpStop {
    int exitCode;
    std::optional<Outcome> outcome;
};

struct UpdateSetUp {
    std::optional<ApprovedSet> approved;  // none: --expect not given
    ImageSetReport set;
    std::optional<SetUpStop> stopped;  // none: the update may go on
};

// The set-up of an update, its bridge library's notice told on the clock given.
UpdateSetUp SetUpUpdate(const Arguments& arguments, ProgramClock& clock);

// The approved set of --expect, read from its file or from standard input; nothing asked for gives
// an empty optional and true. False when the file cannot be read or holds other lines, which has
// been told.
bool ReadExpectedSet(const Arguments& arguments, std::optional<ApprovedSet>& approved);

// True when the set may be written: the update would start with it, and it is the approved set
// when one is given. Otherwise the refused set, or the refusal, has been told.
bool SetMayBeWritten(const Arguments& arguments, const ImageSetReport& set,
                     const std::optional<ApprovedSet>& approved);

// The record file can be written (checked before anything is touched); false has been told.
bool RecordFileUsable(const Arguments& arguments);

}  // namespace quorvanex::cli
