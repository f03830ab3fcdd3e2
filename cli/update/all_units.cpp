#include "cli/update/all_units.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>

#include <nlohmann/json.hpp>

#include "cli/cli_texts.h"
#include "cli/devices.h"
#include "cli/exit_codes.h"
#include "cli/refusals.h"
#include "cli/update/update_set_up.h"

#include "cli/console/console_platform.h"
#include "cli/console/console_report.h"
#include "cli/events.h"
#include "cli/image_set.h"
#include "cli/json_line.h"
#include "cli/update/unit_record.h"
#include "link/device_list.h"
#include "link/link_texts.h"
#include "text/utf8.h"

namespace quorvanex::cli {
namespace {

// How long one wait for the units' output lasts at most: the rows of a terminal are drawn again
// at least this often, so their clocks move on while a unit erases and says nothing, and a request
// to stop is answered this soon.
constexpr std::uint32_t kOutputWaitMilliseconds = 200;
// A row is cut to this width, so that it never wraps and the redrawing stays in place.
constexpr std::size_t kRowWidth = 79;

struct Unit {
    BridgeDevice device;
    bool ended = false;
    int exitCode = 0;
    std::string doing = Said(kUnitStarting);
    std::optional<ProgressFigures> progress;  // from the unit's last progress event
    std::optional<Outcome> outcome;           // as the unit told it, or the parent decided
    std::uint8_t fatalCode = 0;
    std::string fatalText;
    std::vector<RecordedImage> images;  // the images it began to write, with their SHA-256
    std::optional<UnitRecord> record;   // the record that the unit told
    bool recordWritten = false;         // the unit wrote its own record line to the file
    bool endedByParent = false;
    bool toldItsEnd = false;  // its own events said how it ended
    double startSeconds = 0;
    double lastOutputSeconds = 0;
    double seconds = 0;
};

std::string IndexOf(const Unit& unit) {
    return std::to_string(unit.device.index);
}

// A Windows exception code reads as a negative int; it is told as Windows shows it, the same
// number in the text and in the JSON.
std::uint32_t ExitCodeAsShown(int exitCode) {
    return static_cast<std::uint32_t>(exitCode);
}

// The unit's event as it came, with the unit's index after the event's name.
Json WithDevice(const Json& event, std::uint32_t device) {
    Json forwarded = Json::object();
    forwarded[field::kEventField] = FieldText(event, field::kEventField);
    forwarded[field::kDevice] = device;
    for (const auto& [key, value] : event.items()) {
        if (key != field::kEventField && key != field::kDevice) {
            forwarded[key] = value;
        }
    }
    return forwarded;
}

ProgressFigures ProgressOf(const Json& event) {
    return {FieldText(event, field::kImage), FieldCount(event, field::kImageDone).value_or(0),
            FieldCount(event, field::kImageTotal).value_or(0),
            FieldNumber(event, field::kRate).value_or(0.0),
            FieldNumber(event, field::kEta).value_or(0.0)};
}

class AllUnits {
  public:
    AllUnits(const Arguments& arguments, ChildProcesses& children, ProgramClock& clock,
             ConsoleReport::Style style, std::string run, std::string runId,
             const OperatorStops& stops)
        : children_(children),
          clock_(clock),
          style_(style),
          run_(std::move(run)),
          runId_(std::move(runId)),
          records_(arguments.recordFile),
          stops_(stops),
          startSeconds_(clock.Seconds()) {}

    // One process a unit: this program again, for that unit alone, its record written by itself
    // and told as an event, the approved set handed on through its standard input.
    void Start(const std::vector<BridgeDevice>& devices, const std::vector<std::string>& program,
               const std::optional<ApprovedSet>& approved) {
        for (const BridgeDevice& device : devices) {
            Unit unit;
            unit.device = device;
            unit.startSeconds = clock_.Seconds();
            unit.lastOutputSeconds = unit.startSeconds;
            std::vector<std::string> words = program;
            for (const std::string& word :
                 {std::string("update"), std::string("--device"), std::to_string(device.index),
                  std::string("--json"), std::string("--run"), run_, std::string("--run-id"),
                  runId_}) {
                words.push_back(word);
            }
            if (records_.Wanted()) {
                words.insert(words.end(), {"--record", records_.Path()});
            }
            if (approved) {
                words.insert(words.end(), {"--expect", kStandardStream});
            }
            const bool started =
                children_.Start(units_.size(), words, approved ? approved->Lines() : "");
            units_.push_back(unit);
            if (!started) {
                units_.back().outcome = Outcome::NotStarted;
                units_.back().doing = Said(kUnitCouldNotStart);
                Ended(units_.back());
            }
        }
    }

    void Run() {
        DrawRows();
        while (Running()) {
            if (stops_.ConsoleClosing()) {
                LeaveUnits();
                return;
            }
            LookForStop();
            for (const ChildOutput& output : children_.Wait(kOutputWaitMilliseconds)) {
                Unit& unit = units_[output.child];
                unit.lastOutputSeconds = clock_.Seconds();
                if (output.ended) {
                    unit.exitCode = output.exitCode;
                    Ended(unit);
                } else {
                    Line(unit, output.line);
                }
            }
            EndHungUnits();
            DrawRows();
        }
    }

    // The table, or the summary event; returns the exit code.
    int Finish() {
        if (left_) {
            // The console is gone, and with it whoever would read the table.
            return kExitStopped;
        }
        std::vector<std::string> notUpdated;
        Json failed = Json::array();
        Json table = Json::array();
        std::size_t done = 0;
        bool stopped = false;
        for (const Unit& unit : units_) {
            const Outcome outcome = unit.outcome.value_or(Outcome::Crashed);
            JsonLine row;
            row.Count(field::kDevice, unit.device.index)
                .Text(field::kOutcome, OutcomeName(outcome));
            if (unit.fatalCode != 0) {
                row.Count(field::kFatalCode, unit.fatalCode)
                    .Text(field::kFatalText, unit.fatalText);
            } else {
                row.Null(field::kFatalCode).Text(field::kFatalText, "");
            }
            table.push_back(row.Decimal(field::kSeconds, unit.seconds, 1).Object());
            stopped = stopped || outcome == Outcome::Interrupted;
            if (outcome == Outcome::Done) {
                ++done;
                continue;
            }
            failed.push_back(unit.device.index);
            notUpdated.push_back("unit " + IndexOf(unit) + " (" + OutcomeText(unit) + ")");
        }
        const double seconds = clock_.Seconds() - startSeconds_;
        if (style_ == ConsoleReport::Style::Json) {
            WriteOutput(JsonLine(Event::Summary)
                            .Count(field::kUnits, units_.size())
                            .Count(field::kDone, done)
                            .Value(field::kNotUpdated, failed)
                            .Value(field::kUnitsTable, table)
                            .Decimal(field::kSeconds, seconds, 1)
                            .Value(field::kRecordsNotWritten, recordsNotWritten_)
                            .Line());
        } else {
            WriteTable();
            std::string names;
            for (const std::string& name : notUpdated) {
                names += (names.empty() ? "" : ", ") + name;
            }
            WriteOutput((notUpdated.empty()
                             ? Said(kEveryUnitDone, {std::to_string(units_.size()),
                                                     std::to_string(static_cast<long>(seconds))})
                             : Said(kUnitsNotUpdated, {names})) +
                        "\n");
            if (!recordsNotWritten_.empty()) {
                WriteError(Said(kRecordsNotWritten, {JsonText(recordsNotWritten_)}) + "\n");
            }
        }
        if (stopped) {
            return kExitStopped;
        }
        if (!notUpdated.empty()) {
            return kExitUnitsNotUpdated;
        }
        return recordsNotWritten_.empty() ? kExitDone : kExitRecordNotWritten;
    }

  private:
    bool Running() const {
        for (const Unit& unit : units_) {
            if (!unit.ended) {
                return true;
            }
        }
        return false;
    }

    std::size_t UnitsRunning() const {
        std::size_t running = 0;
        for (const Unit& unit : units_) {
            running += unit.ended ? 0 : 1;
        }
        return running;
    }

    // A first request to stop is answered with what stopping means, and the units go on: a unit
    // stopped while it is written does not start until it is updated again. A second one stops
    // every unit still running; the units' processes never see the console's requests themselves.
    // Two at once (two Ctrl-C between two looks, or the program being ended) stop them without
    // the answer to a first, which would ask for what has happened already.
    void LookForStop() {
        const unsigned requests = stops_.Requests();
        if (requests == 1 && !stopWarned_) {
            stopWarned_ = true;
            const std::string text = Said(kStopUnitsWhileWriting, {std::to_string(UnitsRunning())});
            WriteError(text + "\n");
            if (style_ == ConsoleReport::Style::Json) {
                WriteOutput(JsonLine(Event::Stopping).Text(field::kText, text).Line());
            }
            // On a terminal the rows are drawn again below the answer, never over it: it stays
            // to be read while the operator decides.
            rowsDrawn_ = 0;
        }
        if (requests >= 2 && !stopping_) {
            stopping_ = true;
            for (std::size_t child = 0; child < units_.size(); ++child) {
                if (!units_[child].ended) {
                    units_[child].endedByParent = true;
                    if (!units_[child].outcome) {
                        units_[child].outcome = Outcome::Interrupted;
                    }
                    children_.End(child);
                }
            }
        }
    }

    // The console window is closing, and the system ends this program within seconds: every unit
    // still running is left to go on alone, as when this program is ended, and records itself. A
    // unit being written finishes; a stop now would leave it not starting until updated again.
    void LeaveUnits() {
        left_ = true;
        for (std::size_t child = 0; child < units_.size(); ++child) {
            if (!units_[child].ended) {
                children_.Leave(child);
            }
        }
    }

    void EndHungUnits() {
        for (std::size_t child = 0; child < units_.size(); ++child) {
            Unit& unit = units_[child];
            if (!unit.ended && !unit.endedByParent &&
                clock_.Seconds() - unit.lastOutputSeconds > kLongestSilenceSeconds) {
                unit.endedByParent = true;
                unit.outcome = Outcome::Hung;
                children_.End(child);
            }
        }
    }

    static std::string OutcomeText(const Unit& unit) {
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

    // A line of the unit's output: its event, kept for its row and its record, and told as the
    // style asks.
    void Line(Unit& unit, const std::string& line) {
        const std::optional<Json> json = ReadJsonObject(line);
        const std::optional<Event> event =
            json ? EventNamed(FieldText(*json, field::kEventField)) : std::nullopt;
        if (!event) {
            // Not an event (what the unit's process wrote to its error output): told as it came.
            Tell(unit, JsonLine(Event::Output).Text(field::kText, line), line);
            return;
        }
        const std::string text = FieldText(*json, field::kText);
        std::string plain;
        switch (*event) {
            case Event::Record:
                unit.record = RecordFromJson(*json);
                unit.outcome = unit.record->outcome;
                // In a file, the unit's own line; to standard output, the parent's to write.
                unit.recordWritten = !records_.ToOutput();
                unit.toldItsEnd = true;
                if (records_.ToOutput()) {
                    return;
                }
                break;
            case Event::RecordNotWritten:
                plain = text;
                break;
            case Event::Progress:
                unit.progress = ProgressOf(*json);
                unit.doing = Said(kUnitWriting, {unit.progress->image});
                plain = ProgressWords(*unit.progress);
                break;
            case Event::Erase:
                unit.images.push_back(
                    {FieldText(*json, field::kImage), FieldText(*json, field::kSha256)});
                unit.progress.reset();
                unit.doing = Said(kErasingRegion, {FieldText(*json, field::kImage)});
                plain = unit.doing;
                break;
            case Event::Notice: {
                // As the update of one unit tells a box: the caption without its trailing blanks.
                std::string caption = FieldText(*json, field::kCaption);
                caption.erase(caption.find_last_not_of(' ') + 1);
                unit.doing = Said(kUnitBox, {text});
                const std::uint64_t count = FieldCount(*json, field::kCount).value_or(1);
                plain = BoxWords(caption, text,
                                 static_cast<std::uint32_t>(std::min<std::uint64_t>(
                                     count, std::numeric_limits<std::uint32_t>::max())));
                break;
            }
            case Event::Done:
                unit.outcome = Outcome::Done;
                unit.seconds = FieldNumber(*json, field::kSeconds).value_or(0.0);
                unit.progress.reset();
                unit.doing = Said(kUpdateDoneIn, {std::to_string(static_cast<long>(unit.seconds))});
                plain = unit.doing;
                break;
            case Event::Fatal:
                unit.outcome = Outcome::Fatal;
                unit.fatalCode = static_cast<std::uint8_t>(
                    std::min<std::uint64_t>(FieldCount(*json, field::kCode).value_or(0), 0xFF));
                unit.fatalText = text;
                unit.seconds = FieldNumber(*json, field::kSeconds).value_or(0.0);
                unit.progress.reset();
                unit.doing = Said(kFatalStopLine, {std::to_string(unit.fatalCode), text});
                plain = unit.doing;
                break;
            case Event::Refused:
            case Event::Stopping:
                if (const auto outcome = OutcomeNamed(FieldText(*json, field::kOutcome))) {
                    unit.outcome = *outcome;
                } else if (*event == Event::Stopping) {
                    unit.outcome = Outcome::Interrupted;
                }
                unit.progress.reset();
                unit.doing = text;
                plain = text;
                break;
            default:
                if (!text.empty()) {
                    unit.doing = text;
                    plain = text;
                }
        }
        if (*event == Event::Record || *event == Event::Done || *event == Event::Fatal ||
            *event == Event::Refused || *event == Event::Stopping) {
            unit.toldItsEnd = true;
        }
        if (style_ == ConsoleReport::Style::Json) {
            WriteOutput(JsonText(WithDevice(*json, unit.device.index)) + "\n");
        } else if (style_ == ConsoleReport::Style::Lines && !plain.empty()) {
            WriteOutput(Said(kUnitLine, {IndexOf(unit), plain}) + "\n");
        }
    }

    void Tell(const Unit& unit, JsonLine json, const std::string& plain) {
        if (style_ == ConsoleReport::Style::Json) {
            WriteOutput(JsonText(WithDevice(json.Object(), unit.device.index)) + "\n");
        } else if (style_ == ConsoleReport::Style::Lines) {
            WriteOutput(Said(kUnitLine, {IndexOf(unit), plain}) + "\n");
        }
    }

    // The unit's end: its outcome from what it said and how it ended, and its one record.
    void Ended(Unit& unit) {
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

    // Exactly one line a unit: the unit's own when it wrote one; otherwise the parent's, with
    // what the parent knows (unless the unit's line is in the file after all: it may have ended
    // between writing it and telling so).
    void WriteRecord(Unit& unit) {
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

    std::string Row(const Unit& unit) const {
        const std::string head = "unit " + IndexOf(unit) + "  ";
        std::string row = head + (!unit.ended && unit.progress
                                      ? ProgressWords(*unit.progress, kRowWidth - head.size())
                                      : unit.doing);
        if (row.size() > kRowWidth) {
            row.resize(kRowWidth);
        }
        return row + std::string(kRowWidth - row.size(), ' ');
    }

    // On a terminal: one row a unit, drawn again in place.
    void DrawRows() {
        if (style_ != ConsoleReport::Style::Terminal) {
            return;
        }
        if (rowsDrawn_ > 0) {
            MoveUpLines(rowsDrawn_);
        }
        std::string rows;
        for (const Unit& unit : units_) {
            rows += Row(unit) + "\n";
        }
        WriteOutput(rows);
        rowsDrawn_ = units_.size();
    }

    void WriteTable() const {
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

    ChildProcesses& children_;
    ProgramClock& clock_;
    const ConsoleReport::Style style_;
    const std::string run_;
    const std::string runId_;
    const RecordFile records_;
    const OperatorStops& stops_;
    const double startSeconds_;
    std::vector<Unit> units_;
    std::size_t rowsDrawn_ = 0;
    bool stopWarned_ = false;
    bool stopping_ = false;
    bool left_ = false;  // the console closed: the units still running were left to go on
    Json recordsNotWritten_ = Json::array();
};

}  // namespace

int UpdateEveryUnit(const Arguments& arguments, ChildProcesses& children,
                    const std::vector<std::string>& thisProgram, ProgramClock& clock,
                    unsigned (*stopRequests)(), bool (*consoleClosing)()) {
    const OperatorStops stops = {stopRequests, consoleClosing};
    const UpdateSetUp setUp = SetUpUpdate(arguments, clock);
    if (setUp.stopped) {
        return setUp.stopped->exitCode;
    }
    ConsoleReport report(clock, ReportStyle(arguments), {});
    const std::vector<BridgeDevice> devices = ListBridgeDevices();
    std::vector<BridgeDevice> units;
    std::string indices;
    Json unitsJson = Json::array();
    for (const BridgeDevice& device : devices) {
        if (device.isQuorvanex) {
            units.push_back(device);
            indices += (indices.empty() ? "" : ", ") + std::to_string(device.index);
            unitsJson.push_back(device.index);
        }
    }
    if (units.empty()) {
        Refuse(arguments.json, Utf8FromWide(kNotConnected.text));
        ListDevices(devices, arguments.json, true);
        return kExitNoDevice;
    }
    // Stopped while the files and the units were looked at (the hashing of a large set takes its
    // time): no unit has been touched, and none is started.
    if (stops.Requests() > 0) {
        Refuse(arguments.json, Said(kUpdateStopped));
        return kExitStopped;
    }
    // The run's own identity: its name may be one that a line gives run after run.
    const std::string runId = NewRunId();
    const std::string run = arguments.run.empty() ? runId : arguments.run;
    report.Event(JsonLine(Event::Start)
                     .Text(field::kCommand, "update --all")
                     .Value(field::kDevices, unitsJson)
                     .Count(field::kTotal, setUp.set.bytesToWrite)
                     .Text(field::kRun, run)
                     .Text(field::kRunId, runId),
                 Said(kUpdatingUnits, {std::to_string(units.size()), indices}));
    AllUnits all(arguments, children, clock, ReportStyle(arguments), run, runId, stops);
    all.Start(units, thisProgram, setUp.approved);
    all.Run();
    return all.Finish();
}

}  // namespace quorvanex::cli
