// The end of an update in a fatal stop, as the command line tells it.
#pragma once

#include "cli/console/console_report.h"

namespace quorvanex::cli {

// After a fatal stop: the fatal event, with the code and its text; returns the exit code.
int ReportFatalStop(ConsoleReport& report);

}  // namespace quorvanex::cli
