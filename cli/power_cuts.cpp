#include "cli/power_cuts.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include <nlohmann/json.hpp>

#include "cli/cli_texts.h"
#include "cli/command_support.h"
#include "cli/console_platform.h"
#include "cli/console_report.h"
#include "cli/rehearsal.h"
#include "emulator/bridge_binding.h"
#include "emulator/emulator_clock.h"
#include "emulator/scenario.h"
#include "link/device_connection.h"
#include "protocol/image_regions.h"
#include "protocol/loader_bytes.h"
#include "seam/operator_services.h"
#include "text/utf8.h"
#include "update/exit_code.h"
#include "update/update_steps.h"
#include "update/update_texts.h"

namespace quorvanex::cli {
namespace {

// Without --every, the page frames cut at are spaced so that the sweep makes about this many runs
// of its cut points in all: a whole multi-part set of the largest images then takes well under a
// minute natively, the runs of the frames that every update has (each state command, write enable
// and erase) included.
constexpr std::size_t kDefaultPagePoints = 60;

std::string Narrow(const wchar_t* text) {
    std::wstring words = text;
    words.erase(words.find_last_not_of(L' ') + 1);
    return Utf8FromWide(words);
}

// The operator's side of one run: silent, on the emulator's virtual clock, keeping the last status
// line and every box.
class RunRecorder final : public OperatorServices {
  public:
    explicit RunRecorder(emulator::VirtualClock& clock) : clock_(clock) {}
    void ShowStatusLine(const wchar_t* text, const StatusText&) override {
        if (!Narrow(text).empty()) {
            lastLine = Narrow(text);
        }
    }
    void ShowNotice(const wchar_t* text, const wchar_t* caption, NoticeIcon) override {
        // The fatal stop's box has no text: it is named by its caption, in parentheses.
        std::string words = Narrow(text);
        if (words.empty()) {
            words.append("(").append(Narrow(caption)).append(")");
        }
        boxes.push_back(words);
        updateOk = updateOk || std::wstring(text) == kUpdateOkNotice.text;
    }
    void RequestMainWindowClose() override {}
    void Pause(std::uint32_t milliseconds) override {
        clock_.AdvanceMicroseconds(std::uint64_t{milliseconds} * 1000);
    }
    void OfferProcessor() override {}
    std::uint32_t TickCount() override { return clock_.TickMilliseconds(); }
    void EndProcess(int exitCode) override { throw ProcessEnd{exitCode}; }

    std::string lastLine;
    std::vector<std::string> boxes;
    bool updateOk = false;

  private:
    emulator::VirtualClock& clock_;
};

struct Run {
    int exitCode = kExitDone;
    bool imagesWhole = false;
    std::vector<emulator::TraceEntry> frames;
    std::string lastLine;
    std::vector<std::string> boxes;
    bool updateOk = false;
};

// One whole update against the device, as a rehearsal runs it, from a fresh process's state. The
// device powers up with the flash in the buffer given, whose memory it takes; the buffer holds the
// device's flash as the update left it afterwards.
Run RunUpdateOn(const emulator::DeviceConfig& device, std::vector<std::uint8_t>& flash,
                const ImageSetReport& set, const std::vector<std::vector<std::uint8_t>>& images,
                bool keepFrames = false) {
    ForgetPreviousUpdate();
    // A device without power answers nothing, and the update waits for it over and over: up to
    // 2000 questions of 2 s each for "ready". Looks at an empty queue that cost 10 ms each instead
    // of one make those waits ten times cheaper to run; a reply is still seen the moment it comes.
    constexpr std::uint64_t kPollCostMicroseconds = 10000;
    emulator::VirtualClock clock(0, kPollCostMicroseconds);
    emulator::EmulatedBridge bridge(clock);
    bridge.Attach(device, std::move(flash));
    const emulator::ScopedEmulatedBridge installed(bridge);
    RunRecorder recorder(clock);
    Run run;
    {
        const ScopedOperatorServices services(recorder);
        try {
            run.exitCode =
                RunUpdate(std::nullopt) == UpdateOutcome::Finished ? kExitDone : kExitNoDevice;
        } catch (const ProcessEnd&) {
            run.exitCode = kExitFatalBase + RecordedFatalCode().value_or(0);
        }
    }
    ForgetPreviousUpdate();
    emulator::EmulatedDevice& updated = bridge.Device(0);
    run.imagesWhole = FlashHoldsImages(set, images, updated);
    flash = updated.DeviceLoader().Flash().TakeContents();
    if (keepFrames) {
        run.frames = emulator::FramesOf(bridge.DeviceTrace());
    }
    run.lastLine = recorder.lastLine;
    run.boxes = recorder.boxes;
    run.updateOk = recorder.updateOk;
    return run;
}

// A flash as it was before the update: old contents everywhere, unlike any image and unlike an
// erased flash, so that the map can tell the old image, an erase and a new image apart.
std::vector<std::uint8_t> OldContents() {
    std::vector<std::uint8_t> flash(emulator::SpiFlash::kSize);
    std::uint32_t state = 0x2026;
    for (std::uint8_t& byte : flash) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return flash;
}

struct Span {
    std::uint32_t start;
    std::uint32_t end;
};

// The flash regions that the set writes.
std::vector<Span> RegionsOfSet(const ImageSetReport& set) {
    std::vector<Span> regions;
    for (const ImageFileReport* file : set.FilesToWrite()) {
        const Span region = {file->region->StartAddress(),
                             file->region->StartAddress() + file->region->SizeInBytes()};
        if (std::none_of(regions.begin(), regions.end(),
                         [&](const Span& known) { return known.start == region.start; })) {
            regions.push_back(region);
        }
    }
    return regions;
}

bool RegionsEqual(const std::vector<Span>& regions, const std::vector<std::uint8_t>& flash,
                  const std::vector<std::uint8_t>& other) {
    return std::all_of(regions.begin(), regions.end(), [&](const Span& region) {
        return std::equal(flash.begin() + region.start, flash.begin() + region.end,
                          other.begin() + region.start);
    });
}

// A fingerprint of the regions' bytes: two independent 64-bit hashes, so that two flashes that
// differ are never taken for one (a chance of one in 2^128).
std::pair<std::uint64_t, std::uint64_t> RegionFingerprint(const std::vector<Span>& regions,
                                                          const std::vector<std::uint8_t>& flash) {
    std::uint64_t fnv = 0xcbf29ce484222325ull;
    std::uint64_t mixed = 0x9e3779b97f4a7c15ull;
    // Eight bytes at a time: the regions are whole sectors.
    for (const Span& region : regions) {
        for (std::uint32_t at = region.start; at < region.end; at += 8) {
            std::uint64_t word;
            std::memcpy(&word, flash.data() + at, sizeof word);
            fnv = (fnv ^ word) * 0x100000001b3ull;
            mixed = (mixed + word + at) * 0xff51afd7ed558ccdull;
            mixed ^= mixed >> 29;
        }
    }
    return {fnv, mixed};
}

std::string RegionState(const std::vector<Span>& regions, const std::vector<std::uint8_t>& flash,
                        const std::vector<std::uint8_t>& before,
                        const std::vector<std::uint8_t>& after) {
    if (RegionsEqual(regions, flash, before)) {
        return "old image";
    }
    if (RegionsEqual(regions, flash, after)) {
        return "new image";
    }
    const bool erased = std::all_of(regions.begin(), regions.end(), [&](const Span& region) {
        return std::all_of(flash.begin() + region.start, flash.begin() + region.end,
                           [](std::uint8_t byte) { return byte == 0xFF; });
    });
    return erased ? "erased" : "partly written";
}

const char* MomentWord(emulator::PowerCutMoment moment) {
    switch (moment) {
        case emulator::PowerCutMoment::Before:
            return "before";
        case emulator::PowerCutMoment::During:
            return "during";
        case emulator::PowerCutMoment::After:
            return "after";
    }
    return "";
}

std::string Hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
    return text;
}

// Every point at which the sweep cuts the power, in the order the update reaches them: each state
// command before and after it, each write enable before and after, each erase before, during and
// after, the first ready poll of each write-active wait, and one page frame in so many (during its
// program) with the last of them after it.
std::vector<CutPointResult> CutPoints(const std::vector<emulator::TraceEntry>& frames,
                                      const ImageSetReport& set, std::uint32_t pagesBetweenCuts) {
    using emulator::FrameKind;
    using emulator::PowerCutMoment;
    std::vector<CutPointResult> points;
    std::map<FrameKind, std::uint32_t> seen;
    std::uint32_t pagesTotal = 0;
    for (const emulator::TraceEntry& frame : frames) {
        pagesTotal += frame.kind == FrameKind::PageWrite ? 1 : 0;
    }
    const std::vector<const ImageFileReport*> files = set.FilesToWrite();
    std::size_t image = 0;
    FrameKind previous = FrameKind::Malformed;
    const auto add = [&](FrameKind kind, std::uint32_t occurrence, PowerCutMoment moment,
                         const std::string& detail) {
        CutPointResult point;
        point.cut.frames.kind = kind;
        point.cut.frames.occurrence = occurrence;
        point.cut.moment = moment;
        point.point = std::string(MomentWord(moment)) + " " + emulator::FrameKindWord(kind) + " " +
                      std::to_string(occurrence) + " (" + detail + ")";
        points.push_back(point);
    };
    for (const emulator::TraceEntry& frame : frames) {
        const std::uint32_t occurrence = ++seen[frame.kind];
        switch (frame.kind) {
            case FrameKind::Control: {
                const std::string detail = "state " + Hex(frame.bytes[2], 2);
                add(frame.kind, occurrence, PowerCutMoment::Before, detail);
                add(frame.kind, occurrence, PowerCutMoment::After, detail);
                break;
            }
            case FrameKind::WriteEnable:
                add(frame.kind, occurrence, PowerCutMoment::Before, "sector erase");
                add(frame.kind, occurrence, PowerCutMoment::After, "sector erase");
                break;
            case FrameKind::SectorErase: {
                // The erases of each image after the first follow the pages of the one before.
                if (previous == FrameKind::PageWrite) {
                    ++image;
                }
                const std::string detail = "sector " + std::to_string(frame.bytes[4]) + " for " +
                                           Utf8FromWide(files.at(image)->name);
                for (const PowerCutMoment moment :
                     {PowerCutMoment::Before, PowerCutMoment::During, PowerCutMoment::After}) {
                    add(frame.kind, occurrence, moment, detail);
                }
                break;
            }
            case FrameKind::ReadyPoll:
                if (previous != FrameKind::ReadyPoll) {
                    add(frame.kind, occurrence, PowerCutMoment::Before, "write-active wait");
                }
                break;
            case FrameKind::PageWrite: {
                const std::uint32_t address = std::uint32_t{frame.bytes[4]} << 16 |
                                              std::uint32_t{frame.bytes[5]} << 8 | frame.bytes[6];
                const std::string detail =
                    Utf8FromWide(files.at(image)->name) + ", 0x" + Hex(address, 6);
                if (occurrence % pagesBetweenCuts == 0 || occurrence == pagesTotal) {
                    add(frame.kind, occurrence, PowerCutMoment::During, detail);
                }
                if (occurrence == pagesTotal) {
                    add(frame.kind, occurrence, PowerCutMoment::After, detail);
                }
                break;
            }
            case FrameKind::StatusRead:
            case FrameKind::Malformed:
                break;
        }
        if (frame.kind != FrameKind::StatusRead) {
            previous = frame.kind;
        }
    }
    return points;
}

std::uint32_t PagesBetweenCuts(const std::vector<emulator::TraceEntry>& frames,
                               std::optional<std::uint32_t> every) {
    if (every) {
        return *every;
    }
    const auto pages = static_cast<std::size_t>(
        std::count_if(frames.begin(), frames.end(), [](const emulator::TraceEntry& frame) {
            return frame.kind == emulator::FrameKind::PageWrite;
        }));
    return static_cast<std::uint32_t>(std::max<std::size_t>(1, pages / kDefaultPagePoints));
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

}  // namespace

PowerCutSweep SweepPowerCuts(const ImageSetReport& set, const emulator::DeviceConfig& device,
                             std::optional<std::uint32_t> every,
                             const std::function<void(emulator::DeviceConfig&)>& restoringDevice,
                             const std::function<void(std::size_t, std::size_t)>& progress) {
    const std::vector<std::vector<std::uint8_t>> images = LoadImagesOfSet(set);
    const std::vector<Span> regions = RegionsOfSet(set);
    emulator::DeviceConfig base = device;
    const std::vector<std::uint8_t> old = device.flash ? *device.flash : OldContents();
    base.flash.reset();
    // One buffer for every device in turn: each powers up from it and leaves its flash in it.
    std::vector<std::uint8_t> flash = old;
    // The update without a cut: its frames are the points to cut at, its flash the new image.
    const Run whole = RunUpdateOn(base, flash, set, images, true);
    const std::vector<std::uint8_t> updated = flash;
    PowerCutSweep sweep;
    sweep.pagesBetweenCuts = PagesBetweenCuts(whole.frames, every);
    sweep.points = CutPoints(whole.frames, set, sweep.pagesBetweenCuts);
    // The same regions after a cut restore the same way: the second run is made once for each.
    std::map<std::pair<std::uint64_t, std::uint64_t>, Run> restores;
    for (std::size_t i = 0; i < sweep.points.size(); ++i) {
        CutPointResult& point = sweep.points[i];
        emulator::DeviceConfig cut = base;
        cut.faults.powerCut = point.cut;
        flash.assign(old.begin(), old.end());
        const Run cutRun = RunUpdateOn(cut, flash, set, images);
        point.lastLine = cutRun.lastLine;
        point.boxes = cutRun.boxes;
        point.exitCode = cutRun.exitCode;
        point.region = RegionState(regions, flash, old, updated);

        // Only the regions that the update writes can make the second run differ.
        const auto fingerprint = RegionFingerprint(regions, flash);
        auto restore = restores.find(fingerprint);
        if (restore == restores.end()) {
            emulator::DeviceConfig again = base;
            if (restoringDevice) {
                restoringDevice(again);
            }
            restore = restores.emplace(fingerprint, RunUpdateOn(again, flash, set, images)).first;
        }
        point.restored = restore->second.exitCode == kExitDone && restore->second.imagesWhole;
        point.passed = point.restored && !(cutRun.updateOk && !cutRun.imagesWhole);
        if (!point.passed && !sweep.firstFailed) {
            sweep.firstFailed = i;
        }
        if (progress) {
            progress(i + 1, sweep.points.size());
        }
    }
    return sweep;
}

int RunPowerCutSweep(const Arguments& arguments, const ImageSetReport& set) {
    emulator::Scenario scenario;
    if (!RehearsalScenario(arguments, scenario)) {
        return kExitUsage;
    }
    const auto quorvanex = std::find_if(
        scenario.devices.begin(), scenario.devices.end(),
        [](const emulator::DeviceConfig& device) { return device.serial == kDeviceSerial; });
    if (quorvanex == scenario.devices.end()) {
        Refuse(arguments.json, Said(kUpdateDidNotStart));
        return kExitNoDevice;
    }
    const bool terminal = !arguments.json && OutputIsTerminal();
    SystemProgramClock clock;
    const PowerCutSweep sweep = SweepPowerCuts(
        set, *quorvanex, arguments.every, {}, [&](std::size_t done, std::size_t total) {
            if (terminal) {
                constexpr std::size_t kBarWidth = 40;
                const std::size_t filled = done * kBarWidth / total;
                WriteOutput("\r[" + std::string(filled, '#') +
                            std::string(kBarWidth - filled, '.') + "] " + std::to_string(done) +
                            " of " + std::to_string(total) + " cut points");
            }
        });
    if (terminal) {
        WriteOutput("\n");
    }
    const double seconds = clock.Seconds();
    std::size_t restored = 0;
    for (const CutPointResult& point : sweep.points) {
        restored += point.restored ? 1 : 0;
        if (arguments.json) {
            Json boxes = Json::array();
            for (const std::string& box : point.boxes) {
                boxes.push_back(box);
            }
            WriteOutput(JsonLine(Event::Cut)
                            .Text(field::kPoint, point.point)
                            .Text(field::kLine, point.lastLine)
                            .Value(field::kBoxes, boxes)
                            .Count(field::kExitCode, static_cast<std::uint32_t>(point.exitCode))
                            .Text(field::kRegion, point.region)
                            .Boolean(field::kRestored, point.restored)
                            .Boolean(field::kPassed, point.passed)
                            .Line());
            continue;
        }
        // The columns have fixed widths; what the operator saw follows them whole, however many
        // boxes a scenario's faults made.
        char columns[256];
        std::snprintf(columns, sizeof columns, "%-72s  exit %2d  %-14s  %s  ", point.point.c_str(),
                      point.exitCode, point.region.c_str(),
                      point.restored ? "restored    " : "NOT RESTORED");
        WriteOutput(columns + point.lastLine +
                    (point.boxes.empty() ? "" : "; " + Joined(point.boxes)) + "\n");
    }
    const std::string first =
        sweep.firstFailed ? sweep.points[*sweep.firstFailed].point : std::string();
    if (arguments.json) {
        JsonLine summary(Event::Sweep);
        summary.Count(field::kPoints, sweep.points.size())
            .Count(field::kRestoredPoints, restored)
            .Count(field::kEvery, sweep.pagesBetweenCuts)
            .Decimal(field::kSeconds, seconds, 1);
        if (sweep.firstFailed) {
            summary.Text(field::kFirstFailed, first);
        } else {
            summary.Null(field::kFirstFailed);
        }
        WriteOutput(summary.Line());
    } else if (!sweep.firstFailed) {
        WriteOutput(Said(kSweepPassed, {std::to_string(sweep.points.size()),
                                        std::to_string(sweep.pagesBetweenCuts),
                                        std::to_string(static_cast<long>(seconds + 0.5))}) +
                    "\n");
    }
    if (sweep.firstFailed) {
        WriteError(Said(kSweepFailed, {first}) + "\n");
        return kExitRehearsalMismatch;
    }
    return kExitDone;
}

}  // namespace quorvanex::cli
