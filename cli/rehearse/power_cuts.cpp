// rehearse --power-cuts: the command, its options and its map: a row a cut as soon as it is done,
// then what each exit code tells the operator and how soon, the points that failed, and the
// verdict.
#include <nlohmann/json.hpp>

#include "cli/rehearse/power_cuts.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "cli/cli_texts.h"
#include "cli/console/console_platform.h"
#include "cli/console/console_report.h"
#include "cli/exit_codes.h"
#include "cli/refusals.h"
#include "cli/rehearse/rehearsal.h"
#include "emulator/scenario.h"
#include "link/device_connection.h"
#include "text/utf8.h"
#include "update/update_texts.h"

namespace quorvanex::cli {
namespace {

template <typename Number>
void SetOrNull(JsonLine& line, const char* key, const std::optional<Number>& value) {
    if (value) {
        line.Count(key, *value);
    } else {
        line.Null(key);
    }
}

// The boxes in the order they came, a run of the same box told once with its count: a device
// that fails every question of a wait shows a box for each, some thousands.
std::string Joined(const std::vector<std::string>& boxes) {
    std::string joined;
    for (std::size_t i = 0; i < boxes.size();) {
        std::size_t same = 1;
        while (i + same < boxes.size() && boxes[i + same] == boxes[i]) {
            ++same;
        }
        joined +=
            (joined.empty() ? "" : " / ") + WithCount(boxes[i], static_cast<std::uint32_t>(same));
        i += same;
    }
    return joined;
}

std::string Row(const CutPointResult& point) {
    // The columns have fixed widths; what the operator saw follows them whole, however many
    // boxes a scenario's faults made.
    const std::string power =
        point.dipMilliseconds ? "back " + DipWords(*point.dipMilliseconds) : std::string("off");
    char columns[256];
    std::snprintf(columns, sizeof columns, "%-74s  %-12s  exit %2d  %-14s  %-12s  ",
                  point.at.where.c_str(), power.c_str(), point.exitCode, point.region.c_str(),
                  point.Verdict());
    return columns + point.lastLine + (point.boxes.empty() ? "" : "; " + Joined(point.boxes)) +
           "\n";
}

std::string TimeWords(double seconds) {
    char text[32];
    if (seconds < 120) {
        std::snprintf(text, sizeof text, "%.1f s", seconds);
    } else {
        std::snprintf(text, sizeof text, "%.0f min", seconds / 60);
    }
    return text;
}

// What each exit code of the map tells the operator, and how long after the power failed: the
// first box of the failure in each run that ended so, and the fatal stop's own words.
std::string Legend(const std::vector<CutPointResult>& points) {
    struct Seen {
        std::set<std::string> firstBoxes;
        double soonest = 1e30;
        double latest = 0;
    };
    std::map<int, Seen> codes;
    for (const CutPointResult& point : points) {
        Seen& seen = codes[point.exitCode];
        if (point.secondsUntilTold) {
            const auto first = std::find_if(point.boxes.begin(), point.boxes.end(),
                                            [](const std::string& box) { return box[0] != '('; });
            seen.firstBoxes.insert(first != point.boxes.end() ? *first : point.lastLine);
            seen.soonest = std::min(seen.soonest, *point.secondsUntilTold);
            seen.latest = std::max(seen.latest, *point.secondsUntilTold);
        }
    }
    std::string legend = "Exit codes above, what the operator is told, and when after the cut:\n";
    for (const auto& [code, seen] : codes) {
        std::string told;
        for (const std::string& box : seen.firstBoxes) {
            told += (told.empty() ? "" : " or ") + box;
        }
        char line[64];
        std::snprintf(line, sizeof line, "  exit %2d  ", code);
        if (code == kExitDone) {
            legend += line + Said(kSweepLegendDone) + "\n";
            continue;
        }
        const int fatal = code - kExitFatalBase;
        const std::string stop = fatal >= 1 && fatal <= static_cast<int>(std::size(kFatalTexts))
                                     ? Utf8FromWide(kFatalTexts[fatal - 1].words)
                                     : std::string("?");
        const std::string when = seen.soonest == seen.latest
                                     ? TimeWords(seen.soonest)
                                     : TimeWords(seen.soonest) + " to " + TimeWords(seen.latest);
        legend += line + Said(kSweepLegendFatal, {told, stop, when}) + "\n";
    }
    return legend;
}

// A progress line on a terminal, written over by each row as it comes.
class SweepProgress {
    // Back to the start of the line, and the line cleared.
    static constexpr const char* kClearLine = "\r\x1b[K";

  public:
    explicit SweepProgress(bool terminal) : terminal_(terminal) {}
    void Row(const std::string& row, std::size_t done, std::size_t total) {
        if (!terminal_) {
            WriteOutput(row);
            return;
        }
        constexpr std::size_t kBarWidth = 40;
        WriteOutput(kClearLine + row + ProgressBar(done, total, kBarWidth) + " " +
                    std::to_string(done) + " of " + std::to_string(total) + " power cuts");
    }
    void End() {
        if (terminal_) {
            WriteOutput(kClearLine);
        }
    }

  private:
    bool terminal_;
};

bool NamesOutputs(const emulator::Scenario& scenario) {
    const emulator::ScenarioOutputs& outputs = scenario.outputs;
    return !outputs.flashPath.empty() || !outputs.snapshotPrefix.empty() ||
           !outputs.tracePath.empty() || !outputs.summaryPath.empty();
}

void WriteSummary(const Arguments& arguments, const PowerCutSweep& sweep, double seconds) {
    std::size_t restored = 0;
    Json failed = Json::array();
    for (const CutPointResult& point : sweep.points) {
        restored += point.restored ? 1 : 0;
    }
    for (const std::size_t index : sweep.failed) {
        failed.push_back(sweep.points[index].point);
    }
    if (arguments.json) {
        JsonLine summary(Event::Sweep);
        summary.Count(field::kPoints, sweep.points.size())
            .Count(field::kRestoredPoints, restored)
            .Count(field::kEvery, sweep.pagesBetweenCuts)
            .Boolean(field::kDips, arguments.dips)
            .Boolean(field::kHarsh, arguments.harsh)
            .Decimal(field::kSeconds, seconds, 1)
            .Value(field::kFailed, failed);
        if (sweep.failed.empty()) {
            summary.Null(field::kFirstFailed);
        } else {
            summary.Text(field::kFirstFailed, sweep.points[sweep.failed.front()].point);
        }
        WriteOutput(summary.Line());
        return;
    }
    WriteOutput(Legend(sweep.points));
    if (!sweep.failed.empty()) {
        WriteOutput(Said(kSweepFailedPoints, {std::to_string(sweep.failed.size())}) + "\n");
        for (const std::size_t index : sweep.failed) {
            WriteOutput(Row(sweep.points[index]));
        }
    } else if (sweep.complete) {
        WriteOutput(Said(kSweepPassed, {std::to_string(sweep.points.size()),
                                        std::to_string(sweep.pagesBetweenCuts),
                                        std::to_string(static_cast<long>(seconds + 0.5))}) +
                    "\n");
    }
}

}  // namespace

JsonLine CutPointEvent(const CutPointResult& result) {
    JsonLine event(Event::Cut);
    Json boxes = Json::array();
    for (const std::string& box : result.boxes) {
        boxes.push_back(box);
    }
    event.Text(field::kPoint, result.point)
        .Text(field::kKind, emulator::FrameKindWord(*result.at.cut.frames.kind))
        .Count(field::kOccurrence, result.at.cut.frames.occurrence)
        .Text(field::kMoment, emulator::PowerCutMomentWord(result.at.cut.moment));
    SetOrNull(event, field::kDipMs, result.dipMilliseconds);
    if (result.at.image) {
        event.Text(field::kImage, *result.at.image);
    } else {
        event.Null(field::kImage);
    }
    SetOrNull(event, field::kSector, result.at.sector);
    SetOrNull(event, field::kAddress, result.at.address);
    event.Text(field::kLine, result.lastLine)
        .Value(field::kBoxes, boxes)
        .Count(field::kExitCode, static_cast<std::uint32_t>(result.exitCode))
        .Decimal(field::kSeconds, result.seconds, 3);
    if (result.secondsUntilTold) {
        event.Decimal(field::kSecondsUntilTold, *result.secondsUntilTold, 3);
    } else {
        event.Null(field::kSecondsUntilTold);
    }
    return event.Text(field::kRegion, result.region)
        .Boolean(field::kRestored, result.restored)
        .Boolean(field::kPassed, result.Passed())
        .Text(field::kVerdict, result.Verdict());
}

CutPointResult CutPointFromEvent(const Json& event) {
    CutPointResult result;
    const auto number = [&event](const char* key) {
        const auto found = event.find(key);
        return found != event.end() && found->is_number() ? std::optional(found->get<double>())
                                                          : std::nullopt;
    };
    result.point = FieldText(event, field::kPoint);
    if (const auto dip = number(field::kDipMs)) {
        result.dipMilliseconds = static_cast<std::uint32_t>(*dip);
    }
    result.lastLine = FieldText(event, field::kLine);
    if (const auto boxes = event.find(field::kBoxes); boxes != event.end() && boxes->is_array()) {
        for (const Json& box : *boxes) {
            result.boxes.push_back(box.is_string() ? box.get<std::string>() : std::string());
        }
    }
    result.exitCode = static_cast<int>(number(field::kExitCode).value_or(-1));
    result.seconds = number(field::kSeconds).value_or(0);
    result.secondsUntilTold = number(field::kSecondsUntilTold);
    result.region = FieldText(event, field::kRegion);
    const auto restored = event.find(field::kRestored);
    result.restored = restored != event.end() && restored->is_boolean() && restored->get<bool>();
    result.falseOk = FieldText(event, field::kVerdict) == kVerdictFalseOk;
    return result;
}

int RehearsePowerCuts(const Arguments& arguments, const ImageSetReport& set) {
    emulator::Scenario scenario;
    if (!RehearsalScenario(arguments, scenario)) {
        return kExitUsage;
    }
    if (NamesOutputs(scenario)) {
        Refuse(arguments.json, Said(kSweepWritesNoOutputs, {arguments.scenarioFile}));
        return kExitUsage;
    }
    const auto quorvanex = std::find_if(
        scenario.devices.begin(), scenario.devices.end(),
        [](const emulator::DeviceConfig& device) { return device.serial == kDeviceSerial; });
    if (quorvanex == scenario.devices.end()) {
        Refuse(arguments.json, Said(kUpdateDidNotStart));
        return kExitNoDevice;
    }
    SweepProgress progress(!arguments.json && OutputIsTerminal());
    SystemProgramClock clock;
    std::size_t done = 0;
    const PowerCutSweep sweep = SweepPowerCuts(
        set, *quorvanex, {arguments.every, arguments.dips, arguments.harsh}, {},
        [&](const CutPointResult& point, std::size_t total) {
            progress.Row(arguments.json ? CutPointEvent(point).Line() : Row(point), ++done, total);
        });
    progress.End();
    WriteSummary(arguments, sweep, clock.Seconds());
    if (!sweep.complete) {
        Refuse(arguments.json, Said(kSweepIncomplete));
        return kExitRehearsalMismatch;
    }
    if (!sweep.failed.empty()) {
        // With --json the sweep event names the points that failed.
        if (!arguments.json) {
            WriteError(Said(kSweepFailed, {sweep.points[sweep.failed.front()].point}) + "\n");
        }
        return kExitRehearsalMismatch;
    }
    return kExitDone;
}

}  // namespace quorvanex::cli
