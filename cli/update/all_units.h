// update --all: every attached QUORVANEX updated at once, each by a process of its own (this
// program again, as "update --device N"), so that one unit's fatal stop or crash never touches
// another. The parent checks the files named and the image set once, before any unit is touched;
// starts the units apart from the console, handing each the approved set; shows one row a unit on
// a terminal, lines marked with the unit otherwise, or the units' JSON events with their "device";
// decides what the operator's Ctrl-C does, and leaves the units to finish when the console window
// closes; writes a record for each unit whose process could not write its own; and ends with a
// table of the units and an exit code that says whether every unit was updated.
#pragma once

#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/console/console_report.h"
#include "cli/update/child_processes.h"

namespace quorvanex::cli {

// The longest that a unit's update may legitimately say nothing is its ready wait with a unit
// that stopped answering: 2000 polls of 2 s each, some 67 minutes. A unit silent for twice as
// long has hung; it is ended, and told as hung.
inline constexpr double kLongestSilenceSeconds = 2 * 67 * 60;

// Where the operator's requests to stop come from: the console's (cli/console_platform.h), or a
// test's own.
struct OperatorStops {
    unsigned (*requests)() = nullptr;
    bool (*consoleClosing)() = nullptr;

    unsigned Requests() const { return requests != nullptr ? requests() : 0; }
    bool ConsoleClosing() const { return consoleClosing != nullptr && consoleClosing(); }
};

// With the processes, the words that start this program, the clock given, the count of the
// operator's requests to stop and whether the console is closing (the tests give their own).
int UpdateEveryUnit(const Arguments& arguments, ChildProcesses& children,
                    const std::vector<std::string>& thisProgram, ProgramClock& clock,
                    unsigned (*stopRequests)() = nullptr, bool (*consoleClosing)() = nullptr);

}  // namespace quorvanex::cli
