// The runs of a power-cut sweep: the update without a cut, each cut, and each update run again
// afterwards, every one against an emulated device of its own on a virtual clock.
#include <algorithm>
#include <cstring>
#include <map>

#include <nlohmann/json.hpp>

#include "cli/console/console_report.h"
#include "cli/exit_codes.h"
#include "cli/rehearse/independent_runs.h"
#include "cli/rehearse/power_cuts.h"
#include "cli/rehearse/rehearsal.h"
#include "emulator/bridge_binding.h"
#include "emulator/emulator_clock.h"
#include "emulator/virtual_program_clock.h"
#include "link/device_connection.h"
#include "seam/operator_services.h"
#include "text/utf8.h"
#include "update/exit_code.h"
#include "update/update_steps.h"
#include "update/update_texts.h"

namespace quorvanex::cli {
namespace {

// The operator's side of one run: silent, keeping the last status line and every box with its time
// on the emulator's virtual clock.
class RunRecorder final : public OperatorServices {
  public:
    explicit RunRecorder(emulator::VirtualClock& clock) : clock_(clock) {}
    void ShowStatusLine(const wchar_t* text, const StatusText&) override {
        if (!Utf8WithoutTrailingBlanks(text).empty()) {
            lastLine = Utf8WithoutTrailingBlanks(text);
        }
    }
    void ShowNotice(const wchar_t* text, const wchar_t* caption, NoticeIcon) override {
        // The fatal stop's box has no text: it is named by its caption, in parentheses.
        std::string words = Utf8WithoutTrailingBlanks(text);
        if (words.empty()) {
            words.append("(").append(Utf8WithoutTrailingBlanks(caption)).append(")");
        }
        boxes.push_back(words);
        boxTimes.push_back(clock_.NowMicroseconds());
        updateOk = updateOk || std::wstring(text) == kUpdateOkNotice.text;
    }
    void RequestMainWindowClose() override {}
    void EndProcess(int exitCode) override { throw ProcessEnd{exitCode}; }

    std::string lastLine;
    std::vector<std::string> boxes;
    std::vector<std::uint64_t> boxTimes;
    bool updateOk = false;

  private:
    emulator::VirtualClock& clock_;
};

// A region that the update erases, and what it must hold at the end: the data of the last image
// written into it, erased bytes after it.
struct Region {
    std::uint32_t start;
    std::uint32_t end;
    std::vector<std::uint8_t> expected;
};

struct Run {
    int exitCode = kExitDone;
    bool imagesWhole = false;
    std::vector<emulator::TraceEntry> frames;
    std::string lastLine;
    std::vector<std::string> boxes;
    std::vector<std::uint64_t> boxTimes;
    bool updateOk = false;
    std::uint64_t endMicroseconds = 0;
    std::optional<std::uint64_t> cutMicroseconds;
    // Every sector of the regions was erased before anything was written into it.
    bool regionsErasedBeforeWritten = false;
};

// One whole update against the device, as a rehearsal runs it, from a fresh process's state. The
// device powers up with the flash in the buffer given, whose memory it takes; the buffer holds the
// device's flash as the update left it afterwards.
Run UpdateEmulatedDevice(const emulator::DeviceConfig& device, std::vector<std::uint8_t>& flash,
                         const ImageSetReport& set,
                         const std::vector<std::vector<std::uint8_t>>& images,
                         bool keepFrames = false, const std::vector<Region>& regions = {}) {
    ForgetPreviousUpdate();
    // A device without power answers nothing, and the update waits for it over and over: up to
    // 2000 questions of 2 s each for "ready". Looks at an empty queue that cost 10 ms each instead
    // of one make those waits ten times cheaper to run; a reply is still seen the moment it comes.
    constexpr std::uint64_t kPollCostMicroseconds = 10000;
    emulator::VirtualClock clock(0, kPollCostMicroseconds);
    emulator::EmulatedBridge bridge(clock);
    bridge.SetTracing(keepFrames);
    bridge.Attach(device, std::move(flash));
    const emulator::ScopedEmulatedBridge installed(bridge);
    RunRecorder recorder(clock);
    emulator::VirtualProgramClock programClock(clock);
    Run run;
    {
        const ScopedOperatorServices services(recorder);
        const ScopedProgramClock time(programClock);
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
    run.cutMicroseconds = updated.PowerCutAt();
    run.regionsErasedBeforeWritten =
        std::all_of(regions.begin(), regions.end(), [&](const Region& region) {
            return updated.Flash().ErasedBeforeWritten(region.start, region.end);
        });
    flash = updated.DeviceLoader().Flash().TakeContents();
    if (keepFrames) {
        run.frames = emulator::FramesOf(bridge.DeviceTrace());
    }
    run.lastLine = std::move(recorder.lastLine);
    run.boxes = std::move(recorder.boxes);
    run.boxTimes = std::move(recorder.boxTimes);
    run.updateOk = recorder.updateOk;
    run.endMicroseconds = clock.NowMicroseconds();
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

std::vector<Region> RegionsOfSet(const ImageSetReport& set,
                                 const std::vector<std::vector<std::uint8_t>>& images) {
    std::vector<Region> regions;
    const std::vector<const ImageFileReport*> files = set.FilesToWrite();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const ImageRegion& written = *files[i]->region;
        Region region = {written.StartAddress(), written.StartAddress() + written.SizeInBytes(),
                         images[i]};
        region.expected.resize(written.SizeInBytes(), 0xFF);
        const auto known = std::find_if(regions.begin(), regions.end(),
                                        [&](const Region& r) { return r.start == region.start; });
        if (known != regions.end()) {
            *known = std::move(region);
        } else {
            regions.push_back(std::move(region));
        }
    }
    return regions;
}

bool RegionsEqual(const std::vector<Region>& regions, const std::vector<std::uint8_t>& flash,
                  const std::vector<std::uint8_t>& other) {
    return std::all_of(regions.begin(), regions.end(), [&](const Region& region) {
        return std::equal(flash.begin() + region.start, flash.begin() + region.end,
                          other.begin() + region.start);
    });
}

bool RegionsHoldTheirImages(const std::vector<Region>& regions,
                            const std::vector<std::uint8_t>& flash) {
    return std::all_of(regions.begin(), regions.end(), [&](const Region& region) {
        return std::equal(region.expected.begin(), region.expected.end(),
                          flash.begin() + region.start);
    });
}

// A fingerprint of the regions' bytes: two independent 64-bit hashes, so that two flashes that
// differ are never taken for one (a chance of one in 2^128).
std::pair<std::uint64_t, std::uint64_t> RegionFingerprint(const std::vector<Region>& regions,
                                                          const std::vector<std::uint8_t>& flash) {
    std::uint64_t fnv = 0xcbf29ce484222325ull;
    std::uint64_t mixed = 0x9e3779b97f4a7c15ull;
    // Eight bytes at a time: the regions are whole sectors.
    for (const Region& region : regions) {
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

std::string RegionState(const std::vector<Region>& regions, const std::vector<std::uint8_t>& flash,
                        const std::vector<std::uint8_t>& before) {
    if (RegionsEqual(regions, flash, before)) {
        return "old image";
    }
    if (RegionsHoldTheirImages(regions, flash)) {
        return "new image";
    }
    const bool erased = std::all_of(regions.begin(), regions.end(), [&](const Region& region) {
        return emulator::AllErased({flash.begin() + region.start, flash.begin() + region.end});
    });
    return erased ? "erased" : "partly written";
}

emulator::DeviceConfig BaseDevice(const emulator::DeviceConfig& device,
                                  const SweepOptions& options) {
    emulator::DeviceConfig base = device;
    base.flash.reset();
    base.faults.harshFlash = base.faults.harshFlash || options.harsh;
    return base;
}

// What every cut of one sweep shares, made once before the first cut: forked workers start with it.
class Sweeper {
  public:
    Sweeper(const ImageSetReport& set, const emulator::DeviceConfig& device,
            const SweepOptions& options,
            const std::function<void(emulator::DeviceConfig&)>& restoringDevice)
        : set_(set),
          images_(LoadImagesOfSet(set)),
          regions_(RegionsOfSet(set, images_)),
          old_(device.flash ? *device.flash : OldContents()),
          restoringDevice_(restoringDevice),
          base_(BaseDevice(device, options)),
          plan(PlanPowerCuts(set, device, options)) {}

    CutPointResult Cut(std::size_t index);

  private:
    bool Restores(const std::vector<std::uint8_t>& flash);

    const ImageSetReport& set_;
    std::vector<std::vector<std::uint8_t>> images_;
    std::vector<Region> regions_;
    std::vector<std::uint8_t> old_;
    const std::function<void(emulator::DeviceConfig&)>& restoringDevice_;
    emulator::DeviceConfig base_;
    // One buffer for every device in turn: each powers up from it and leaves its flash in it.
    std::vector<std::uint8_t> flash_;
    // The same regions after a cut restore the same way: the second run is made once for each.
    std::map<std::pair<std::uint64_t, std::uint64_t>, bool> restores_;
    bool restoresEveryFlash_ = false;

  public:
    const SweepPlan plan;
};

// The update run again sends the same frames whatever the flash holds: the program never reads
// the flash back, and no answer of the device depends on its bytes. So once a run again has
// restored the regions after erasing every sector of them before writing into it, it restores
// them from any flash a cut leaves, and is not made again. Until then it is made once for each
// different content of the regions.
bool Sweeper::Restores(const std::vector<std::uint8_t>& flash) {
    if (restoresEveryFlash_) {
        return true;
    }
    const auto fingerprint = RegionFingerprint(regions_, flash);
    auto restore = restores_.find(fingerprint);
    if (restore == restores_.end()) {
        emulator::DeviceConfig again = base_;
        if (restoringDevice_) {
            restoringDevice_(again);
        }
        std::vector<std::uint8_t> restored = flash;
        const Run run = UpdateEmulatedDevice(again, restored, set_, images_, false, regions_);
        const bool whole = run.exitCode == kExitDone && run.imagesWhole &&
                           RegionsHoldTheirImages(regions_, restored);
        restoresEveryFlash_ = whole && run.regionsErasedBeforeWritten;
        restore = restores_.emplace(fingerprint, whole).first;
    }
    return restore->second;
}

CutPointResult Sweeper::Cut(std::size_t index) {
    CutPointResult result;
    result.at = plan.points[index / plan.dips.size()];
    result.dipMilliseconds = plan.dips[index % plan.dips.size()];
    result.point = result.at.where;
    if (result.dipMilliseconds) {
        result.point += ", power back after " + DipWords(*result.dipMilliseconds);
    }
    emulator::DeviceConfig cut = base_;
    cut.faults.powerCut = result.at.cut;
    cut.faults.powerCut->backAfterMilliseconds = result.dipMilliseconds;
    flash_ = old_;
    Run run = UpdateEmulatedDevice(cut, flash_, set_, images_);
    result.lastLine = run.lastLine;
    result.exitCode = run.exitCode;
    result.seconds = static_cast<double>(run.endMicroseconds) / 1e6;
    const std::uint64_t cutAt = run.cutMicroseconds.value_or(run.endMicroseconds);
    for (std::size_t b = 0; b < run.boxes.size(); ++b) {
        if (run.exitCode != kExitDone && !result.secondsUntilTold && run.boxTimes[b] >= cutAt) {
            result.secondsUntilTold = static_cast<double>(run.boxTimes[b] - cutAt) / 1e6;
        }
    }
    result.boxes = std::move(run.boxes);
    result.region = RegionState(regions_, flash_, old_);
    result.falseOk = run.updateOk && !run.imagesWhole;
    result.restored = Restores(flash_);
    return result;
}

}  // namespace

std::string DipWords(std::uint32_t milliseconds) {
    if (milliseconds < 1000) {
        return std::to_string(milliseconds) + " ms";
    }
    const std::string tenths = std::to_string(milliseconds / 100);
    return tenths.substr(0, tenths.size() - 1) + "." + tenths.back() + " s";
}

const std::vector<std::uint32_t>& SweepDips() {
    // Each dip ends in another of the program's own windows: a few ms, within the first reply
    // wait of 2 s; 0.5 s and 1.5 s, within it later on; 3.5 s, after a first wait and the 1 s
    // pause before a page is sent again, while the second wait runs; 6.5 s, past three status
    // reads of 2 s each, after which an erase is given up.
    static const std::vector<std::uint32_t> kDips = {5, 500, 1500, 3500, 6500};
    return kDips;
}

SweepPlan PlanPowerCuts(const ImageSetReport& set, const emulator::DeviceConfig& device,
                        const SweepOptions& options) {
    std::vector<std::uint8_t> flash = device.flash ? *device.flash : OldContents();
    // The update without a cut: its frames are the points to cut at.
    const Run whole =
        UpdateEmulatedDevice(BaseDevice(device, options), flash, set, LoadImagesOfSet(set), true);
    SweepPlan plan;
    plan.pagesBetweenCuts = PagesBetweenCuts(whole.frames, options.every);
    plan.points = CutPoints(whole.frames, set, plan.pagesBetweenCuts);
    plan.dips.push_back(std::nullopt);
    if (options.dips) {
        plan.dips.insert(plan.dips.end(), SweepDips().begin(), SweepDips().end());
    }
    return plan;
}

PowerCutSweep SweepPowerCuts(const ImageSetReport& set, const emulator::DeviceConfig& device,
                             const SweepOptions& options,
                             const std::function<void(emulator::DeviceConfig&)>& restoringDevice,
                             const std::function<void(const CutPointResult&, std::size_t)>& done) {
    Sweeper sweeper(set, device, options, restoringDevice);
    const SweepPlan& plan = sweeper.plan;
    PowerCutSweep sweep;
    sweep.pagesBetweenCuts = plan.pagesBetweenCuts;
    sweep.complete = RunIndependently(
        plan.Cuts(), [&](std::size_t index) { return CutPointEvent(sweeper.Cut(index)).Line(); },
        [&](std::size_t index, const std::string& line) {
            CutPointResult result = CutPointFromEvent(ReadJsonObject(line).value_or(Json{}));
            result.at = plan.points[index / plan.dips.size()];
            if (!result.Passed()) {
                sweep.failed.push_back(sweep.points.size());
            }
            sweep.points.push_back(std::move(result));
            if (done) {
                done(sweep.points.back(), plan.Cuts());
            }
        });
    return sweep;
}

}  // namespace quorvanex::cli
