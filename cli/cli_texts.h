// What the command line says of its own, beside the program's status lines and boxes: its
// refusals and its outcomes, each with {} where a value goes (text/text_with_values.h: Said fills
// them). The operator guide explains every one (a test reads this table and the guide).
#pragma once

#include <cstddef>

#include "text/operator_text.h"

namespace quorvanex::cli {

#define QUORVANEX_CLI_TEXTS(LINE, NOTICE, PATH_NOTICE, X, LINES)                                  \
    X(kUsageProblem, "quorvanex-cli: {}")                                                         \
    X(kNoCommand, "no command given")                                                             \
    X(kUnknownCommand, "unknown command: {}")                                                     \
    X(kUnexpectedWord, "unexpected word: {}")                                                     \
    X(kNoSuchOption, "{} has no option {}")                                                       \
    X(kNeedsValue, "{} needs a value")                                                            \
    X(kNeedsFileNotOption, "{} needs a file name, not the option {}")                             \
    X(kNeedsFileName, "{} needs a file name")                                                     \
    X(kAllWithDevice, "--all and --device cannot go together")                                    \
    X(kSumsWithJson, "--sums and --json cannot go together")                                      \
    X(kRunIdWithAll, "--run-id goes with the update of one unit: update --all makes its own")     \
    X(kExpectInputWithAll,                                                                        \
      "--expect - reads standard input, which update --all keeps for its "                        \
      "units")                                                                                    \
    X(kDeviceIndexWanted, "--device takes a device index, as 'devices' lists them: {}")           \
    X(kEveryWanted, "--every takes a whole number of page frames, 1 or more: {}")                 \
    X(kEveryWithoutPowerCuts, "--every, --dips and --harsh go with --power-cuts")                 \
    X(kLatencyDigits, "--latency takes milliseconds as plain decimal digits, as 1 or 0.125: {}")  \
    X(kLatencyTooSlow,                                                                            \
      "--latency {} is beyond the {} ms within which the program always sees a "                  \
      "reply: every exchange would fail")                                                         \
    X(kStateUsable, "usable")                                                                     \
    X(kStateMissing, "missing or not readable")                                                   \
    X(kStateWrongId, "has no valid image ID")                                                     \
    X(kStateTooLarge, "too large for its flash region")                                           \
    X(kStateNotAFile, "not a file (a folder, a pipe or a device)")                                \
    X(kStateNotNeeded, "not needed")                                                              \
    X(kStateNotNeededPresent, "not needed, present")                                              \
    X(kDeviceRow, "{}  {}  serial {}  {}")                                                        \
    X(kDeviceKindQuorvanex, "QUORVANEX")                                                          \
    X(kDeviceKindOther, "other    ")                                                              \
    X(kSerialUnreadable, "(unreadable)")                                                          \
    X(kNoProductString, "(no product string)")                                                    \
    X(kUnitStarting, "starting")                                                                  \
    X(kUnitCouldNotStart, "could not be started")                                                 \
    X(kUnitWriting, "writing {}")                                                                 \
    X(kUnitBox, "box: {}")                                                                        \
    X(kFolderCannotBeOpened, "The folder {} cannot be opened.")                                   \
    X(kNotAFile, "{} is a folder, a pipe or a device, not a file.")                               \
    X(kCurrentFolderUnknown,                                                                      \
      "The path of the current folder cannot be read, so {} cannot be found from it: give its "   \
      "whole path.")                                                                              \
    X(kUpdateWouldStart, "The update would start: {} file(s), {} bytes to write.")                \
    X(kUpdateWouldBeRefused, "The update would be refused.")                                      \
    X(kOutputNotWritten,                                                                          \
      "Standard output could not be written (a full disk, or nobody reading it): what was asked " \
      "for is not whole.")                                                                        \
    X(kDeviceNotAQuorvanex, "Device {} is not a QUORVANEX.")                                      \
    X(kNoSuchDevice, "There is no device {}: the USB bridge sees {} device(s).")                  \
    X(kNoDevices, "The USB bridge sees no device.")                                               \
    X(kSeveralUnits, "Several QUORVANEX units are attached; choose one with --device N.")         \
    X(kDeviceNotOpened,                                                                           \
      "Device {} was found but could not be opened: another program may be using it, or it was "  \
      "unplugged.")                                                                               \
    X(kUpdatingDevice, "Updating device {}: {} bytes to write")                                   \
    X(kErasingRegion, "Erasing the region of {}")                                                 \
    X(kUpdateDoneIn, "Done in {} s.")                                                             \
    X(kFatalStopLine, "Fatal stop {}: {}")                                                        \
    X(kRecordFileUnusable, "The record file {} cannot be written: no unit was touched.")          \
    X(kRecordNotWritten, "The record could not be written to {}.")                                \
    X(kRehearsing, "Rehearsing the update: {} bytes to write")                                    \
    X(kUpdateDidNotStart, "The update did not start.")                                            \
    X(kRehearsalMismatch,                                                                         \
      "The update reported success, but the emulated flash does not hold the images.")            \
    X(kRehearsalDone,                                                                             \
      "Done. The emulated flash holds every image. Predicted duration of the real update: {} s.") \
    X(kScenarioUnreadable, "The scenario {} cannot be read.")                                     \
    X(kScenarioRefused, "The scenario {}: {}")                                                    \
    X(kSumsUnreadable, "The approved SHA-256 lines {} cannot be read.")                           \
    X(kSumsRefused, "The approved SHA-256 lines {}: {}.")                                         \
    X(kSumsNotALine, "line {} is not a SHA-256 line: {}")                                         \
    X(kSumsNamedTwice, "line {} names {} a second time")                                          \
    X(kSumsWithoutLine, "it holds no SHA-256 line")                                               \
    X(kSetNotApproved, "The image files are not the approved set of {}: {}.")                     \
    X(kFileNotApproved, "{} is not in the approved set")                                          \
    X(kFileDiffers, "{} differs from the approved one")                                           \
    X(kFileNotWritten, "{} of the approved set is not written by this update")                    \
    X(kImageNotApproved,                                                                          \
      "{} changed after it was checked: its bytes are not the approved ones, and nothing of it "  \
      "was written.")                                                                             \
    X(kStopWhileWriting,                                                                          \
      "The QUORVANEX is being written: stopped now, it will not start until it is updated "       \
      "again. The update goes on; press Ctrl-C again to stop it anyway.")                         \
    X(kStopUnitsWhileWriting,                                                                     \
      "{} unit(s) are being written: a unit stopped now will not start until it is updated "      \
      "again. They go on; press Ctrl-C again to stop them anyway.")                               \
    X(kUpdateStopped, "Stopped by the operator.")                                                 \
    X(kSweepPassed,                                                                               \
      "Every one of the {} power cuts (a page frame in {} among them) left a QUORVANEX that the " \
      "update restored, and none was told FLASH update ok without every image. {} s.")            \
    X(kSweepFailed,                                                                               \
      "The sweep failed, first at the power cut {}: the update run again did not restore the "    \
      "QUORVANEX, or the operator was told FLASH update ok without every image.")                 \
    X(kSweepFailedPoints, "The {} power cut(s) that failed:")                                     \
    X(kSweepIncomplete,                                                                           \
      "The sweep did not run every power cut: a worker process ended without its results.")       \
    X(kSweepWritesNoOutputs,                                                                      \
      "The scenario {} names outputs: a sweep of power cuts makes thousands of runs and writes "  \
      "none.")                                                                                    \
    X(kSweepLegendDone, "FLASH update ok: the power was back in time and every image arrived")    \
    X(kSweepLegendFatal, "{}, then the fatal stop's {}; told {} after the cut")                   \
    X(kUpdatingUnits, "Updating {} units at once: {}")                                            \
    X(kUnitLine, "unit {}: {}")                                                                   \
    X(kUnitEnded, "{}, exit code {}")                                                             \
    X(kEveryUnitDone, "Every unit is done: {} units in {} s.")                                    \
    X(kUnitsNotUpdated, "Not updated: {}.")                                                       \
    X(kRecordsNotWritten, "Records not written: {}.")

QUORVANEX_TEXT_CONSTANTS(QUORVANEX_CLI_TEXTS)

// A text of the command line with so many values, as a function that tells one of several takes
// it.
template <std::size_t ValueCount>
using CommandLineText = TextWithValues<char, ValueCount>;

}  // namespace quorvanex::cli
