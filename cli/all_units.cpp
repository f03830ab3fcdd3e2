#include "cli/all_units.h"

#include <cstdio>
#include <optional>

#include "cli/cli_texts.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/console_platform.h"
#include "cli/console_report.h"
#include "cli/image_set.h"
#include "cli/json_fields.h"
#include "cli/json_line.h"
#include "cli/unit_record.h"
#include "link/device_list.h"
#include "link/link_texts.h"
#include "text/utf8.h"

namespace quorvanex::cli {
namespace {

// How long one wait for the units' output lasts at most: the rows of a terminal are drawn again
// at least this often, so their clocks move on while a unit erases and says nothing.
constexpr std::uint32_t kOutputWaitMilliseconds = 200;
// The longest that a unit's update may legitimately say nothing is its ready wait with a unit
// that stopped answering: 2000 polls of 2 s each, some 67 minutes. A unit silent for twice as
// long has hung; it is ended, and told as hung.
constexpr double kLongestSilenceSeconds = 2 * 67 * 60;
// A row is cut to this width, so that it never wraps and the redrawing stays in place.
constexpr std::size_t kRowWidth = 79;

struct Unit {
    BridgeDevice device;
    bool started = false;
    bool ended = false;
    int exitCode = 0;
    std::string doing = "starting";
    JsonFields progress;  // the unit's last progress event
    std::string outcome;  // done, fatal, busy, not-opened, refused, crashed, not-started
    std::uint8_t fatalCode = 0;
    std::string fatalText;
    double startSeconds = 0;
    double lastOutputSeconds = 0;
    bool hung = false;
    double seconds = 0;
    std::string record;  // the unit's record line, as its own process wrote it
};

// One more item of a JSON array still open ("[" and the items so far).
void AddToList(std::string& list, const std::string& item) {
    if (list.size() > 1) {
        list += ',';
    }
    list += item;
}

std::string Field(const JsonFields& fields, const char* key) {
    const auto found = fields.find(key);
    return found == fields.end() ? std::string() : found->second;
}

std::string Kibibytes(const std::string& bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f KiB", std::strtod(bytes.c_str(), nullptr) / 1024);
    return text;
}

class AllUnits {
  public:
    AllUnits(const Arguments& arguments, ChildProcesses& children, ProgramClock& clock,
             const ImageSetReport& set, ConsoleReport::Style style)
        : arguments_(arguments), children_(children), clock_(clock), set_(set), style_(style) {}

    void Start(const std::vector<BridgeDevice>& devices, const std::vector<std::string>& program) {
        for (const BridgeDevice& device : devices) {
            Unit unit;
            unit.device = device;
            unit.startSeconds = clock_.Seconds();
            unit.lastOutputSeconds = unit.startSeconds;
            std::vector<std::string> words = program;
            for (const std::string& word :
                 {std::string("update"), std::string("--device"), std::to_string(device.index),
                  std::string("--json"), std::string("--record"), std::string(kRecordToOutput)}) {
                words.push_back(word);
            }
            unit.started = children_.Start(units_.size(), words);
            if (!unit.started) {
                unit.ended = true;
                unit.outcome = "not-started";
                unit.doing = "could not be started";
            }
            units_.push_back(unit);
            if (!unit.started) {
                Ended(units_.back());
            }
        }
    }

    void Run() {
        DrawRows();
        while (Running()) {
            for (const ChildOutput& output : children_.Wait(kOutputWaitMilliseconds)) {
                Unit& unit = units_[output.child];
                unit.lastOutputSeconds = clock_.Seconds();
                if (output.ended) {
                    unit.ended = true;
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

    void EndHungUnits() {
        for (std::size_t child = 0; child < units_.size(); ++child) {
            Unit& unit = units_[child];
            if (!unit.ended && !unit.hung &&
                clock_.Seconds() - unit.lastOutputSeconds > kLongestSilenceSeconds) {
                unit.hung = true;
                unit.outcome = "hung";
                children_.End(child);
            }
        }
    }

    // The table, or the summary event; returns the exit code.
    int Finish() {
        std::vector<std::string> notUpdated;
        std::string failedJson = "[";
        std::string results = "[";
        std::size_t done = 0;
        for (const Unit& unit : units_) {
            JsonLine result;
            result.Count("device", unit.device.index).Text("outcome", unit.outcome);
            if (unit.fatalCode != 0) {
                result.Count("fatal_code", unit.fatalCode).Text("fatal_text", unit.fatalText);
            } else {
                result.Null("fatal_code").Text("fatal_text", "");
            }
            result.Decimal("seconds", unit.seconds, 1);
            AddToList(results, result.Object());
            if (unit.outcome == "done") {
                ++done;
                continue;
            }
            AddToList(failedJson, std::to_string(unit.device.index));
            notUpdated.push_back("unit " + std::to_string(unit.device.index) + " (" +
                                 OutcomeWords(unit) + ")");
        }
        const double seconds = clock_.Seconds() - startSeconds_;
        if (style_ == ConsoleReport::Style::Json) {
            WriteOutput(JsonLine("summary")
                            .Count("units", units_.size())
                            .Count("done", done)
                            .Raw("not_updated", failedJson + "]")
                            .Raw("units_table", results + "]")
                            .Decimal("seconds", seconds, 1)
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
        }
        return notUpdated.empty() ? kExitDone : kExitUnitsNotUpdated;
    }

    void MarkStart() { startSeconds_ = clock_.Seconds(); }

  private:
    bool Running() const {
        for (const Unit& unit : units_) {
            if (!unit.ended) {
                return true;
            }
        }
        return false;
    }

    static std::string OutcomeWords(const Unit& unit) {
        if (unit.outcome == "fatal") {
            return "fatal " + std::to_string(unit.fatalCode) + " " + unit.fatalText;
        }
        if (unit.outcome == "crashed") {
            return "crashed, exit code " + std::to_string(unit.exitCode);
        }
        return unit.outcome;
    }

    // A line of the unit's output: its event, told as the style asks and kept for its row.
    void Line(Unit& unit, const std::string& line) {
        const std::optional<JsonFields> fields = ReadJsonFields(line);
        if (!fields) {
            // Not an event: told as it came, with the unit.
            Tell(unit, JsonLine("output").Text("text", line), line);
            return;
        }
        const std::string event = Field(*fields, "event");
        const std::string text = Field(*fields, "text");
        std::string plain;
        if (event == "record") {
            // The record's fields, without the event that carried them out of the unit.
            const std::string prefix = "{\"event\":\"record\",";
            unit.record = line.rfind(prefix, 0) == 0 ? "{" + line.substr(prefix.size()) : line;
            unit.outcome = Field(*fields, "outcome");
            Forward(unit, line, event);
            return;
        }
        if (event == "progress") {
            unit.progress = *fields;
            unit.doing = "writing " + Field(*fields, "image");
            plain = ProgressWords(unit);
        } else if (event == "erase") {
            unit.doing = Said(kErasingRegion, {Field(*fields, "image")});
            plain = unit.doing;
        } else if (event == "notice") {
            // As the update of one unit tells a box: the caption without its trailing blanks.
            std::string caption = Field(*fields, "caption");
            caption.erase(caption.find_last_not_of(' ') + 1);
            unit.doing = "box: " + text;
            plain = "Box" + (caption.empty() ? "" : " \"" + caption + "\"") + ": " + text;
        } else if (event == "done") {
            unit.outcome = "done";
            unit.seconds = std::strtod(Field(*fields, "seconds").c_str(), nullptr);
            unit.doing = Said(kUpdateDoneIn, {std::to_string(static_cast<long>(unit.seconds))});
            plain = unit.doing;
        } else if (event == "fatal") {
            unit.outcome = "fatal";
            unit.fatalCode = static_cast<std::uint8_t>(
                std::strtoul(Field(*fields, "code").c_str(), nullptr, 10));
            unit.fatalText = text;
            unit.seconds = std::strtod(Field(*fields, "seconds").c_str(), nullptr);
            unit.doing = Said(kFatalStopLine, {std::to_string(unit.fatalCode), text});
            plain = unit.doing;
        } else if (!text.empty()) {
            unit.doing = text;
            plain = text;
        }
        if (style_ == ConsoleReport::Style::Json) {
            Forward(unit, line, event);
        } else if (style_ == ConsoleReport::Style::Lines && !plain.empty()) {
            WriteOutput(Said(kUnitLine, {std::to_string(unit.device.index), plain}) + "\n");
        }
    }

    // The unit's event as it came, with the unit's index added after the event's name.
    void Forward(const Unit& unit, const std::string& line, const std::string& event) {
        if (style_ != ConsoleReport::Style::Json) {
            return;
        }
        const std::string head = "{\"event\":" + JsonString(event);
        if (line.find("\"device\":") != std::string::npos || line.rfind(head, 0) != 0) {
            WriteOutput(line + "\n");
            return;
        }
        WriteOutput(head + ",\"device\":" + std::to_string(unit.device.index) +
                    line.substr(head.size()) + "\n");
    }

    void Tell(const Unit& unit, JsonLine json, const std::string& plain) {
        if (style_ == ConsoleReport::Style::Json) {
            WriteOutput(json.Count("device", unit.device.index).Line());
        } else if (style_ == ConsoleReport::Style::Lines) {
            WriteOutput(Said(kUnitLine, {std::to_string(unit.device.index), plain}) + "\n");
        }
    }

    static std::string ProgressWords(const Unit& unit) {
        const JsonFields& progress = unit.progress;
        const double done = std::strtod(Field(progress, "done").c_str(), nullptr);
        const double total = std::strtod(Field(progress, "total").c_str(), nullptr);
        char text[160];
        std::snprintf(text, sizeof text, "%s %3.0f%%  %s of %s  %.1f KiB/s  ETA %s",
                      Field(progress, "image").c_str(), total > 0 ? 100 * done / total : 100.0,
                      Kibibytes(Field(progress, "done")).c_str(),
                      Kibibytes(Field(progress, "total")).c_str(),
                      std::strtod(Field(progress, "rate").c_str(), nullptr) / 1024,
                      Duration(std::strtod(Field(progress, "eta").c_str(), nullptr)).c_str());
        return text;
    }

    // The unit's end: its outcome from what it said and how it ended, and its record.
    void Ended(Unit& unit) {
        if (unit.seconds == 0) {
            unit.seconds = clock_.Seconds() - unit.startSeconds;
        }
        if (unit.outcome.empty()) {
            // A unit that ended without saying how: refused by its own look at the files, or
            // ended by a crash before it could tell.
            unit.outcome = unit.exitCode == kExitImagesRefused ? "refused" : "crashed";
        }
        if (unit.outcome == "crashed") {
            unit.doing = "crashed, exit code " + std::to_string(unit.exitCode);
            // A Windows exception code reads as a negative int; it is told as Windows shows it.
            Tell(unit,
                 JsonLine("crashed").Count("exit_code", static_cast<std::uint32_t>(unit.exitCode)),
                 unit.doing);
        }
        WriteRecord(unit);
    }

    void WriteRecord(const Unit& unit) {
        if (arguments_.recordFile.empty()) {
            return;
        }
        std::string line = unit.record;
        if (line.empty()) {
            // The unit's process wrote none: what the parent knows of it.
            UnitRecord record;
            record.device = unit.device.index;
            record.product = unit.device.product.value_or("");
            record.outcome = unit.outcome;
            record.fatalCode = unit.fatalCode;
            record.seconds = unit.seconds;
            line = RecordLine(record, set_).Object();
        }
        if (!AppendRecordLine(arguments_.recordFile, line + "\n")) {
            Tell(unit,
                 JsonLine("record").Text("text", Said(kRecordNotWritten, {arguments_.recordFile})),
                 Said(kRecordNotWritten, {arguments_.recordFile}));
        }
    }

    std::string Row(const Unit& unit) const {
        std::string row = "unit " + std::to_string(unit.device.index) + "  " + unit.doing;
        if (!unit.ended && !unit.progress.empty()) {
            row = "unit " + std::to_string(unit.device.index) + "  " + ProgressWords(unit);
        }
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
        std::string table = "unit  outcome      fatal                       seconds\n";
        for (const Unit& unit : units_) {
            char row[160];
            const std::string fatal =
                unit.fatalCode != 0         ? std::to_string(unit.fatalCode) + " " + unit.fatalText
                : unit.outcome == "crashed" ? "exit code " + std::to_string(unit.exitCode)
                                            : std::string();
            std::snprintf(row, sizeof row, "%4u  %-11s  %-26s  %7.1f\n", unit.device.index,
                          unit.outcome.c_str(), fatal.c_str(), unit.seconds);
            table += row;
        }
        WriteOutput(table);
    }

    const Arguments& arguments_;
    ChildProcesses& children_;
    ProgramClock& clock_;
    const ImageSetReport& set_;
    const ConsoleReport::Style style_;
    std::vector<Unit> units_;
    std::size_t rowsDrawn_ = 0;
    double startSeconds_ = 0;
};

}  // namespace

int RunAllUnitUpdates(const Arguments& arguments, ChildProcesses& children,
                      const std::vector<std::string>& thisProgram, ProgramClock& clock) {
    const ImageSetReport set = ExamineImageSet();
    if (!SetMayBeWritten(arguments, set)) {
        return kExitImagesRefused;
    }
    ConsoleReport report(clock, ReportStyle(arguments), {});
    if (!BridgeReady(report)) {
        return kExitNoDevice;
    }
    const std::vector<BridgeDevice> devices = ListBridgeDevices();
    std::vector<BridgeDevice> units;
    std::string indices;
    for (const BridgeDevice& device : devices) {
        if (device.isQuorvanex) {
            units.push_back(device);
            indices += (indices.empty() ? "" : ", ") + std::to_string(device.index);
        }
    }
    if (units.empty()) {
        Tell(arguments.json, "refused", Utf8FromWide(kNotConnected.text));
        ListDevices(devices, arguments.json);
        return kExitNoDevice;
    }
    std::string unitsJson = "[";
    for (const BridgeDevice& unit : units) {
        AddToList(unitsJson, std::to_string(unit.index));
    }
    report.Event(JsonLine("start")
                     .Text("command", "update --all")
                     .Raw("devices", unitsJson + "]")
                     .Count("total", set.bytesToWrite),
                 Said(kUpdatingUnits, {std::to_string(units.size()), indices}));
    AllUnits all(arguments, children, clock, set, ReportStyle(arguments));
    all.MarkStart();
    all.Start(units, thisProgram);
    all.Run();
    return all.Finish();
}

int RunAllUnitUpdates(const Arguments& arguments) {
    const std::unique_ptr<ChildProcesses> children = SystemChildProcesses();
    SystemProgramClock clock;
    return RunAllUnitUpdates(arguments, *children, {ThisProgramPath()}, clock);
}

}  // namespace quorvanex::cli
