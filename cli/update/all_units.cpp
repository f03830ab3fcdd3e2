#include "cli/update/all_units.h"

#include <optional>

#include "cli/cli_texts.h"
#include "cli/console/console_platform.h"
#include "cli/devices.h"
#include "cli/exit_codes.h"
#include "cli/refusals.h"
#include "cli/update/all_units_run.h"
#include "cli/update/update_set_up.h"
#include "link/link_texts.h"
#include "text/utf8.h"

namespace quorvanex::cli {
namespace all_units {
namespace {

// How long one wait for the units' output lasts at most: the rows of a terminal are drawn again
// at least this often, so their clocks move on while a unit erases and says nothing, and a request
// to stop is answered this soon.
constexpr std::uint32_t kOutputWaitMilliseconds = 200;

}  // namespace

AllUnits::AllUnits(const Arguments& arguments, ChildProcesses& children, ProgramClock& clock,
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

void AllUnits::Start(const std::vector<BridgeDevice>& devices,
                     const std::vector<std::string>& program,
                     const std::optional<ApprovedSet>& approved) {
    for (const BridgeDevice& device : devices) {
        Unit unit;
        unit.device = device;
        unit.startSeconds = clock_.Seconds();
        unit.lastOutputSeconds = unit.startSeconds;
        std::vector<std::string> words = program;
        for (const std::string& word :
             {std::string("update"), std::string("--device"), std::to_string(device.index),
              std::string("--json"), std::string("--run"), run_, std::string("--run-id"), runId_}) {
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

void AllUnits::Run() {
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

bool AllUnits::Running() const {
    for (const Unit& unit : units_) {
        if (!unit.ended) {
            return true;
        }
    }
    return false;
}

std::size_t AllUnits::UnitsRunning() const {
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
void AllUnits::LookForStop() {
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
void AllUnits::LeaveUnits() {
    left_ = true;
    for (std::size_t child = 0; child < units_.size(); ++child) {
        if (!units_[child].ended) {
            children_.Leave(child);
        }
    }
}

void AllUnits::EndHungUnits() {
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

}  // namespace all_units

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
    all_units::AllUnits all(arguments, children, clock, ReportStyle(arguments), run, runId, stops);
    all.Start(units, thisProgram, setUp.approved);
    all.Run();
    return all.Finish();
}

}  // namespace quorvanex::cli
