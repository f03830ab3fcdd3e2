// What the report says of its own: its refusals, the titles and columns of its tables, and the
// captions of its page's pictures, each with {} where a value goes. The operator guide explains
// every one (a test walks this list and reads the guide).
#pragma once

#include "cli/cli_texts.h"

namespace quorvanex::cli {

#define QUORVANEX_REPORT_TEXTS(LINE, NOTICE, PATH_NOTICE, X, LINES)                                \
    X(kReportNeedsRecords, "report reads record files: name one or more.")                         \
    X(kRecordsUnreadable, "The record file {} cannot be read.")                                    \
    X(kNoRecordIn, "{} holds no record of quorvanex-cli: none of its {} line(s) is one.")          \
    X(kTimeWanted,                                                                                 \
      "{} takes a time in UTC as the records write it, as 2026-12-08T10:15:00Z, "                  \
      "2026-12-08T10:15 or 2026-12-08: {}")                                                        \
    X(kOutputUnusable, "The file {} cannot be written: nothing was read.")                         \
    X(kOutputIsRecords, "{} is a record file that the report reads: it is never written over.")    \
    X(kOutputNotWhole, "The file {} could not be written whole, and was left as it was.")          \
    X(kRunsTitle, "Runs")                                                                          \
    X(kCausesTitle, "Why units were not updated, most units first")                                \
    X(kSecondsTitle, "Seconds per unit done")                                                      \
    X(kImageSetsTitle, "Image sets of the units done")                                             \
    X(kFilesTitle, "Record files")                                                                 \
    X(kTotalsTitle, "Totals")                                                                      \
    X(kRunColumn, "run")                                                                           \
    X(kFileColumn, "file")                                                                         \
    X(kStartedColumn, "started (UTC)")                                                             \
    X(kEndedColumn, "ended (UTC)")                                                                 \
    X(kUnitsColumn, "units")                                                                       \
    X(kDoneColumn, "done")                                                                         \
    X(kNotUpdatedColumn, "not updated")                                                            \
    X(kCauseColumn, "cause")                                                                       \
    X(kShareColumn, "share")                                                                       \
    X(kCumulativeColumn, "cumulative")                                                             \
    X(kMedianColumn, "median")                                                                     \
    X(kPercentileColumn, "95th percentile")                                                        \
    X(kSetColumn, "set")                                                                           \
    X(kImageColumn, "image")                                                                       \
    X(kSha256Column, "SHA-256")                                                                    \
    X(kLinesColumn, "lines")                                                                       \
    X(kRecordsColumn, "records")                                                                   \
    X(kNotRecordsColumn, "not records")                                                            \
    X(kRepeatedColumn, "repeated")                                                                 \
    X(kLeftOutColumn, "left out")                                                                  \
    X(kFirstPassColumn, "first-pass share done")                                                   \
    X(kLineTimeColumn, "line time")                                                                \
    X(kDonePerHourColumn, "done per hour")                                                         \
    X(kFatalCause, "fatal {} {}")                                                                  \
    X(kPageTitle, "Update records: {} units in {} runs")                                           \
    X(kOutcomesChart, "Outcomes per run")                                                          \
    X(kOutcomesChartLast, "Outcomes per run: the last {} of {} runs")                              \
    X(kParetoChart, "Why units were not updated: units per cause, and their cumulative share")     \
    X(kHistogramChart, "Seconds per unit done: units in each {} s")                                \
    X(kHourlyChart, "Units per hour over the shift, by the hour their records were written (UTC)") \
    X(kNothingToDraw, "nothing to draw")

QUORVANEX_TEXT_CONSTANTS(QUORVANEX_REPORT_TEXTS)

}  // namespace quorvanex::cli
