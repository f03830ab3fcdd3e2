// The update of one QUORVANEX: the unit asked for with --device, or the only one attached. update
// --all starts this program again for each unit, as "update --device N".
#pragma once

#include "cli/arguments.h"
#include "cli/console/console_report.h"

namespace quorvanex::cli {

// The update on the clock given: the system's, or in the tests the emulator's virtual time; the
// operator's requests to stop counted by the function given (the console's, or a test's).
int UpdateOneUnit(const Arguments& arguments, ProgramClock& clock,
                  unsigned (*stopRequests)() = nullptr);

}  // namespace quorvanex::cli
