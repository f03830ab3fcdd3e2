// The end of each unit of update --all, with its one record, and the end of the run: the table of
// the units, or the summary event, and the exit code.
#include <cstdio>

#include "cli/console/console_platform.h"
#include "cli/exit_codes.h"
#include "cli/update/all_units_run.h"

namespace quorvanex::cli::all_units {
namespace {

// What the table and the summary say of the run.
struct RunSummary {
    std::vector<std::string> notUpdated;  // "unit 3 (fatal 5 ...)"
    Json failed = Json::array();          // the indices of the units not updated
    Json table = Json::array();           // a row a unit
    std::size_t done = 0;
    bool stopped = false;  // a unit was interrupted
};

JsonLine SummaryRow(const Unit& unit, Outcome outcome) {
    JsonLine row;
    row.Count(field::kDevice, unit.device.index).Text(field::kOutcome, OutcomeName(outcome));
    if (unit.fatalCode != 0) {
        row.Count(field::kFatalCode, unit.fatalCode).Text(field::kFatalText, unit.fatalText);
    } else {
        row.Null(field::kFatalCode).Text(field::kFatalText, "");
    }
    return row.Decimal(field::kSeconds, unit.seconds, 1);
}

RunSummary Summarise(const std::vector<Unit>& units) {
    RunSummary summary;
    for (const Unit& unit : units) {
        const Outcome outcome = unit.outcome.value_or(Outcome::Crashed);
        summary.table.push_back(SummaryRow(unit, outcome).Object());
        summary.stopped = summary.stopped || outcome == Outcome::Interrupted;
        if (outcome == Outcome::Done) {
            ++summary.done;
            continue;
        }
        summary.failed.push_back(unit.device.index);
        summary.notUpdated.push_back("unit " + IndexOf(unit) + " (" + OutcomeText(unit) + ")");
    }
    return summary;
}

}  // namespace

std::uint32_t ExitCodeAsShown(int exitCode) {
    return static_cast<std::uint32_t>(exitCode);
}

std::string OutcomeText(const Unit& unit) {
    const Outcome outcome = unit.outcome.value_or(Outcome::Crashed);
    if (outcome == Outcome::Fatal) {
        return "fatal " + std::to_string(unit.fatalCode) + " " + unit.fatalText;
    }
    if (outcome == Outcome::Crashed) {
        return Said(kUnitEnded,
                    {OutcomeName(outcome), std::to_string(ExitCodeAsShown(unit.exitCode))});
    }
    return OutcomeName(outcome);
}

// The unit's end: its outcome from what it said and how it ended, and its one record.
void AllUnits::Ended(Unit& unit) {
    unit.ended = true;
    if (unit.seconds == 0) {
        unit.seconds = clock_.Seconds() - unit.startSeconds;
    }
    // A unit that ended without saying how ended by a crash before it could tell.
    unit.outcome = unit.outcome.value_or(Outcome::Crashed);
    if (!unit.toldItsEnd) {
        unit.progress.reset();
        unit.doing = OutcomeText(unit);
        Tell(unit,
             JsonLine(Event::UnitEnded)
                 .Text(field::kOutcome, OutcomeName(*unit.outcome))
                 .Count(field::kExitCode, ExitCodeAsShown(unit.exitCode))
                 .Text(field::kText, unit.doing),
             unit.doing);
    }
    WriteRecord(unit);
}

// Exactly one line a unit: the unit's own when it wrote one; otherwise the parent's, with what
// the parent knows (unless the unit's line is in the file after all: it may have ended between
// writing it and telling so).
void AllUnits::WriteRecord(Unit& unit) {
    if (!records_.Wanted() || unit.recordWritten ||
        (!records_.ToOutput() && records_.Holds(runId_, unit.device.index))) {
        return;
    }
    UnitRecord record;
    if (unit.record && records_.ToOutput()) {
        record = *unit.record;
    } else {
        record.run = run_;
        record.runId = runId_;
        record.device = unit.device.index;
        record.product = unit.device.product.value_or("");
        record.images = unit.images;
        record.outcome = unit.outcome.value_or(Outcome::Crashed);
        record.fatalCode = unit.fatalCode;
        record.seconds = unit.seconds;
    }
    if (!records_.Append(record)) {
        recordsNotWritten_.push_back(unit.device.index);
        const std::string text = Said(kRecordNotWritten, {records_.Path()});
        Tell(unit,
             JsonLine(Event::RecordNotWritten)
                 .Text(field::kText, text)
                 .Text(field::kFile, records_.Path()),
             text);
    }
}

int AllUnits::Finish() {
    if (left_) {
        // The console is gone, and with it whoever would read the table.
        return kExitStopped;
    }
    const RunSummary summary = Summarise(units_);
    const double seconds = clock_.Seconds() - startSeconds_;
    if (style_ == ConsoleReport::Style::Json) {
        WriteOutput(JsonLine(Event::Summary)
                        .Count(field::kUnits, units_.size())
                        .Count(field::kDone, summary.done)
                        .Value(field::kNotUpdated, summary.failed)
                        .Value(field::kUnitsTable, summary.table)
                        .Decimal(field::kSeconds, seconds, 1)
                        .Value(field::kRecordsNotWritten, recordsNotWritten_)
                        .Line());
    } else {
        WriteTable();
        std::string names;
        for (const std::string& name : summary.notUpdated) {
            names += (names.empty() ? "" : ", ") + name;
        }
        WriteOutput((summary.notUpdated.empty()
                         ? Said(kEveryUnitDone, {std::to_string(units_.size()),
                                                 std::to_string(static_cast<long>(seconds))})
                         : Said(kUnitsNotUpdated, {names})) +
                    "\n");
        if (!recordsNotWritten_.empty()) {
            WriteError(Said(kRecordsNotWritten, {JsonText(recordsNotWritten_)}) + "\n");
        }
    }
    if (summary.stopped) {
        return kExitStopped;
    }
    if (!summary.notUpdated.empty()) {
        return kExitUnitsNotUpdated;
    }
    return recordsNotWritten_.empty() ? kExitDone : kExitRecordNotWritten;
}

void AllUnits::WriteTable() const {
    std::string table = "unit  outcome       fatal                       seconds\n";
    for (const Unit& unit : units_) {
        char row[160];
        const Outcome outcome = unit.outcome.value_or(Outcome::Crashed);
        const std::string fatal =
            unit.fatalCode != 0 ? std::to_string(unit.fatalCode) + " " + unit.fatalText
            : outcome == Outcome::Crashed
                ? "exit code " + std::to_string(ExitCodeAsShown(unit.exitCode))
                : std::string();
        std::snprintf(row, sizeof row, "%4u  %-12s  %-26s  %7.1f\n", unit.device.index,
                      OutcomeName(outcome), fatal.c_str(), unit.seconds);
        table += row;
    }
    WriteOutput(table);
}

}  // namespace quorvanex::cli::all_units
