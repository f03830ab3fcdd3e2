// The contract of the command line's --json output: between each unit's process and update --all,
// which reads its units' events, and with every script that reads them. One table of the events,
// each with the fields it may carry, and one of the outcomes of a unit; the writers and the readers
// name both only from here. The writer (JsonLine) holds every line of an event to its row: in the
// tests a field outside the row fails the test that writes it, whichever event it is.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorvanex::cli {

// The fields, by the names the JSON carries.
#define QUORVANEX_EVENT_FIELDS(X)                \
    X(kEventField, "event")                      \
    X(kBoxes, "boxes")                           \
    X(kBytesToWrite, "bytes_to_write")           \
    X(kCaption, "caption")                       \
    X(kCode, "code")                             \
    X(kCommand, "command")                       \
    X(kCount, "count")                           \
    X(kAddress, "address")                       \
    X(kDipMs, "dip_ms")                          \
    X(kDips, "dips")                             \
    X(kFailed, "failed")                         \
    X(kHarsh, "harsh")                           \
    X(kKind, "kind")                             \
    X(kMoment, "moment")                         \
    X(kOccurrence, "occurrence")                 \
    X(kSector, "sector")                         \
    X(kSecondsUntilTold, "seconds_until_told")   \
    X(kVerdict, "verdict")                       \
    X(kDataSize, "data_size")                    \
    X(kDevice, "device")                         \
    X(kDevices, "devices")                       \
    X(kDone, "done")                             \
    X(kEta, "eta")                               \
    X(kEvery, "every")                           \
    X(kExitCode, "exit_code")                    \
    X(kFatalCode, "fatal_code")                  \
    X(kFatalText, "fatal_text")                  \
    X(kFile, "file")                             \
    X(kFiles, "files")                           \
    X(kFirstFailed, "first_failed")              \
    X(kFits, "fits")                             \
    X(kFrames, "frames")                         \
    X(kId, "id")                                 \
    X(kImage, "image")                           \
    X(kImageDone, "image_done")                  \
    X(kImageTotal, "image_total")                \
    X(kImages, "images")                         \
    X(kIndex, "index")                           \
    X(kLine, "line")                             \
    X(kLatencyMs, "latency_ms")                  \
    X(kMultiPart, "multi_part")                  \
    X(kName, "name")                             \
    X(kNeeded, "needed")                         \
    X(kNotUpdated, "not_updated")                \
    X(kOutcome, "outcome")                       \
    X(kPassed, "passed")                         \
    X(kPoint, "point")                           \
    X(kPoints, "points")                         \
    X(kProduct, "product")                       \
    X(kQuorvanex, "quorvanex")                   \
    X(kRate, "rate")                             \
    X(kRecordsNotWritten, "records_not_written") \
    X(kRegion, "region")                         \
    X(kResends, "resends")                       \
    X(kRestored, "restored")                     \
    X(kRestoredPoints, "restored_points")        \
    X(kRun, "run")                               \
    X(kRunId, "run_id")                          \
    X(kSeconds, "seconds")                       \
    X(kSerial, "serial")                         \
    X(kSha256, "sha256")                         \
    X(kSize, "size")                             \
    X(kStart, "start")                           \
    X(kState, "state")                           \
    X(kText, "text")                             \
    X(kTime, "time")                             \
    X(kTotal, "total")                           \
    X(kUnits, "units")                           \
    X(kUnitsTable, "units_table")                \
    X(kUpdateWouldStart, "update_would_start")   \
    X(kEnd, "end")                               \
    X(kLines, "lines")                           \
    X(kRecords, "records")                       \
    X(kNotRecords, "not_records")                \
    X(kRepeated, "repeated")                     \
    X(kLeftOut, "left_out")                      \
    X(kOutcomes, "outcomes")                     \
    X(kFirstPass, "first_pass")                  \
    X(kMedianSeconds, "median_seconds")          \
    X(kPercentileSeconds, "p95_seconds")         \
    X(kLineSeconds, "line_seconds")              \
    X(kDonePerHour, "done_per_hour")

namespace field {
#define QUORVANEX_EVENT_FIELD_NAME(name, text) inline constexpr const char* name = text;
QUORVANEX_EVENT_FIELDS(QUORVANEX_EVENT_FIELD_NAME)
#undef QUORVANEX_EVENT_FIELD_NAME
}  // namespace field

// The events: name in the code, name in the JSON, the fields it may carry besides "event" (and
// "device", which update --all adds to every event of a unit), in parentheses.
#define QUORVANEX_EVENTS(X)                                                                        \
    X(Start, "start",                                                                              \
      (field::kCommand, field::kDevice, field::kDevices, field::kProduct, field::kLatencyMs,       \
       field::kTotal, field::kRun, field::kRunId))                                                 \
    X(State, "state", (field::kCode, field::kText))                                                \
    X(Erase, "erase", (field::kImage, field::kSha256))                                             \
    X(Progress, "progress",                                                                        \
      (field::kImage, field::kImageDone, field::kImageTotal, field::kDone, field::kTotal,          \
       field::kRate, field::kEta, field::kSeconds))                                                \
    X(Resend, "resend", (field::kText))                                                            \
    X(Notice, "notice", (field::kCaption, field::kText, field::kCount))                            \
    X(Line, "line", (field::kText))                                                                \
    X(Done, "done", (field::kSeconds, field::kFrames))                                             \
    X(Fatal, "fatal", (field::kCode, field::kText, field::kSeconds))                               \
    X(Refused, "refused", (field::kText, field::kOutcome))                                         \
    X(Mismatch, "mismatch", (field::kSeconds))                                                     \
    X(Record, "record",                                                                            \
      (field::kTime, field::kRun, field::kRunId, field::kProduct, field::kImages, field::kOutcome, \
       field::kFatalCode, field::kSeconds, field::kFrames, field::kResends))                       \
    X(RecordNotWritten, "record_not_written", (field::kText, field::kFile))                        \
    X(Stopping, "stopping", (field::kText))                                                        \
    X(Device, "device", (field::kIndex, field::kSerial, field::kProduct, field::kQuorvanex))       \
    X(Region, "region", (field::kId, field::kStart, field::kSize, field::kMultiPart))              \
    X(File, "file",                                                                                \
      (field::kName, field::kNeeded, field::kState, field::kId, field::kRegion, field::kDataSize,  \
       field::kFits, field::kSha256))                                                              \
    X(Verdict, "verdict", (field::kUpdateWouldStart, field::kFiles, field::kBytesToWrite))         \
    X(Output, "output", (field::kText))                                                            \
    X(UnitEnded, "unit_ended", (field::kOutcome, field::kExitCode, field::kText))                  \
    X(Cut, "cut",                                                                                  \
      (field::kPoint, field::kKind, field::kOccurrence, field::kMoment, field::kDipMs,             \
       field::kImage, field::kSector, field::kAddress, field::kLine, field::kBoxes,                \
       field::kExitCode, field::kSeconds, field::kSecondsUntilTold, field::kRegion,                \
       field::kRestored, field::kPassed, field::kVerdict))                                         \
    X(Sweep, "sweep",                                                                              \
      (field::kPoints, field::kRestoredPoints, field::kEvery, field::kDips, field::kHarsh,         \
       field::kSeconds, field::kFailed, field::kFirstFailed))                                      \
    X(Summary, "summary",                                                                          \
      (field::kUnits, field::kDone, field::kNotUpdated, field::kUnitsTable, field::kSeconds,       \
       field::kRecordsNotWritten))                                                                 \
    X(RecordsFile, "records_file",                                                                 \
      (field::kFile, field::kLines, field::kRecords, field::kNotRecords, field::kRepeated,         \
       field::kLeftOut))                                                                           \
    X(Run, "run",                                                                                  \
      (field::kRun, field::kRunId, field::kFile, field::kStart, field::kEnd, field::kUnits,        \
       field::kDone, field::kOutcomes))                                                            \
    X(Cause, "cause", (field::kOutcome, field::kFatalCode, field::kFatalText, field::kUnits))      \
    X(ImageSet, "image_set", (field::kImages, field::kUnits))                                      \
    X(Totals, "totals",                                                                            \
      (field::kUnits, field::kDone, field::kFirstPass, field::kMedianSeconds,                      \
       field::kPercentileSeconds, field::kLineSeconds, field::kDonePerHour))

enum class Event {
#define QUORVANEX_EVENT_VALUE(name, text, fields) name,
    QUORVANEX_EVENTS(QUORVANEX_EVENT_VALUE)
#undef QUORVANEX_EVENT_VALUE
};

const char* EventName(Event event);
std::optional<Event> EventNamed(const std::string& name);
// The fields that the event may carry besides "event" and "device".
const std::vector<const char*>& EventFields(Event event);

// How a unit's update ended, as its record and the summary of update --all name it: updated; a
// fatal stop; an image whose bytes were not the approved ones, nothing of it written; stopped by
// the operator while it was being written; another update holds it; found but not opened; no
// QUORVANEX at that index; the USB bridge library cannot be used; the image set refused; and, told
// by update --all for a unit whose process could not: it ended without telling how, could not be
// started, or said nothing for far too long and was ended.
// clang-format off
#define QUORVANEX_OUTCOMES(X)                                                                   \
    X(Done, "done") X(Fatal, "fatal") X(NotApproved, "not-approved")                            \
    X(Interrupted, "interrupted") X(Busy, "busy") X(NotOpened, "not-opened")                    \
    X(NotFound, "not-found") X(NoLibrary, "no-library") X(Refused, "refused")                   \
    X(Crashed, "crashed") X(NotStarted, "not-started") X(Hung, "hung")
// clang-format on

enum class Outcome {
#define QUORVANEX_OUTCOME_VALUE(name, text) name,
    QUORVANEX_OUTCOMES(QUORVANEX_OUTCOME_VALUE)
#undef QUORVANEX_OUTCOME_VALUE
};

const char* OutcomeName(Outcome outcome);
std::optional<Outcome> OutcomeNamed(const std::string& name);

}  // namespace quorvanex::cli
