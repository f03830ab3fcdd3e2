// The run of update --all as the parent sees it: a row for each unit, each unit a process of its
// own, read line by line. all_units.cpp starts and watches the units, all_units_lines.cpp reads
// what they say and tells it, all_units_end.cpp ends each unit with its record and the run with
// its table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/arguments.h"
#include "cli/cli_texts.h"
#include "cli/console/console_report.h"
#include "cli/events.h"
#include "cli/image_set.h"
#include "cli/json_line.h"
#include "cli/update/all_units.h"
#include "cli/update/child_processes.h"
#include "cli/update/unit_record.h"
#include "link/device_list.h"

namespace quorvanex::cli::all_units {

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

std::string IndexOf(const Unit& unit);

// A Windows exception code reads as a negative int; it is told as Windows shows it, the same
// number in the text and in the JSON.
std::uint32_t ExitCodeAsShown(int exitCode);

// How the unit ended, in words: its outcome, with the fatal stop or the exit code that tells
// more.
std::string OutcomeText(const Unit& unit);

class AllUnits {
  public:
    AllUnits(const Arguments& arguments, ChildProcesses& children, ProgramClock& clock,
             ConsoleReport::Style style, std::string run, std::string runId,
             const OperatorStops& stops);

    // One process a unit: this program again, for that unit alone, its record written by itself
    // and told as an event, the approved set handed on through its standard input.
    void Start(const std::vector<BridgeDevice>& devices, const std::vector<std::string>& program,
               const std::optional<ApprovedSet>& approved);
    void Run();
    // The table, or the summary event; returns the exit code.
    int Finish();

  private:
    bool Running() const;
    std::size_t UnitsRunning() const;
    void LookForStop();
    void LeaveUnits();
    void EndHungUnits();

    // all_units_lines.cpp
    void Line(Unit& unit, const std::string& line);
    void Tell(const Unit& unit, JsonLine json, const std::string& plain);
    std::string Row(const Unit& unit) const;
    void DrawRows();

    // all_units_end.cpp
    void Ended(Unit& unit);
    void WriteRecord(Unit& unit);
    void WriteTable() const;

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

}  // namespace quorvanex::cli::all_units
