// The exit codes of quorvanex-cli.
#pragma once

namespace quorvanex::cli {

enum ExitCode : int {
    kExitDone = 0,
    kExitUsage = 2,  // also a folder or a file named on the command line that cannot be used
    kExitImagesRefused = 3,  // also a set that is not the approved one
    kExitNoDevice = 4,
    kExitRehearsalMismatch = 5,
    kExitUnitsNotUpdated = 6,  // update --all: a unit was not updated
    kExitRecordNotWritten = 7,
    kExitStopped = 8,           // the operator stopped the update (before any unit was touched, or
                                // while units were written)
    kExitOutputNotWritten = 9,  // standard output could not be written, and nothing else failed
    kExitFatalBase = 10,        // plus the fatal code
};
// When several apply, update --all ends with the first of 8, 6, 7, 9: a stop over a unit not
// updated, over a record not written, over output not written. 7 and 9 stand only where the
// command would otherwise end with 0.

}  // namespace quorvanex::cli
