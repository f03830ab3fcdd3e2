// The exit codes of quorvanex-cli: one row each, with what the help says of it. The help's
// paragraph is made from these rows (ExitCodesParagraph), and a test holds the command line's page
// to them.
#pragma once

#include <string>

namespace quorvanex::cli {

// clang-format off
#define QUORVANEX_EXIT_CODES(X)                                                                   \
    X(kExitDone, 0, "done")                                                                       \
    X(kExitUsage, 2, "usage, or a folder or file named that cannot be used")                      \
    X(kExitImagesRefused, 3, "image set refused, or not the approved set")                        \
    X(kExitNoDevice, 4, "no QUORVANEX, several without --device, not opened, busy, the bridge "   \
      "library missing, or a rehearsal that did not start")                                       \
    X(kExitRehearsalMismatch, 5, "a rehearsal whose flash does not hold the images")              \
    X(kExitUnitsNotUpdated, 6, "update --all: a unit was not updated (each is named)")            \
    X(kExitRecordNotWritten, 7, "a record could not be written")                                  \
    X(kExitStopped, 8, "stopped by the operator (Ctrl-C before any unit was touched, or twice "   \
      "while units were being written)")                                                          \
    X(kExitOutputNotWritten, 9, "standard output could not be written")                           \
    X(kExitFatalBase, 10, "+ the fatal code after a fatal stop")
// clang-format on

enum ExitCode : int {
#define QUORVANEX_EXIT_CODE_VALUE(name, code, words) name = code,
    QUORVANEX_EXIT_CODES(QUORVANEX_EXIT_CODE_VALUE)
#undef QUORVANEX_EXIT_CODE_VALUE
};

// When several apply, update --all ends with the first of these: a stop over a unit not updated,
// over a record not written, over output not written. A record not written and output not written
// stand only where the command would otherwise end with 0.
inline constexpr ExitCode kExitCodesWhenSeveralApply[] = {
    kExitStopped, kExitUnitsNotUpdated, kExitRecordNotWritten, kExitOutputNotWritten};

// The help's paragraph of the exit codes, made from the rows, with the exit codes of the fatal
// stops that the update's steps make; lines of 88 characters at most.
std::string ExitCodesParagraph();

}  // namespace quorvanex::cli
