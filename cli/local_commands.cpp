// The commands that need no bridge library: check, and rehearse against the built-in emulator.

#include "cli/cli_texts.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/console_platform.h"
#include "emulator/bridge_binding.h"
#include "emulator/emulated_bridge.h"
#include "emulator/scenario.h"
#include "protocol/flash_programming.h"
#include "seam/binary_file.h"
#include "text/utf8.h"
#include "update/exit_code.h"
#include "update/update_steps.h"

namespace quorvanex::cli {
namespace {

// A full-speed USB link answers a frame in about a millisecond.
constexpr std::uint32_t kDefaultLatency = 1000;

// The device of a rehearsal: a QUORVANEX with typical timings, changed by whatever the scenario
// file says, at the reply latency asked for. False when the scenario cannot be read, which has
// been told.
bool RehearsalScenario(const Arguments& arguments, emulator::Scenario& scenario) {
    std::string text;
    const std::wstring path = WideFromUtf8(arguments.scenarioFile);
    if (!arguments.scenarioFile.empty() && !ReadWholeFile(path.c_str(), text)) {
        Refuse(arguments.json, KindOfPath(path.c_str()) == PathKind::NotAFile
                                   ? Said(kNotAFile, {arguments.scenarioFile})
                                   : Said(kScenarioUnreadable, {arguments.scenarioFile}));
        return false;
    }
    const emulator::ScenarioDefaults defaults = {emulator::TypicalTimings(kDefaultLatency), true,
                                                 true};
    std::string error;
    if (!emulator::ParseScenario(text, scenario, error, defaults)) {
        Refuse(arguments.json, Said(kScenarioRefused, {arguments.scenarioFile, error}));
        return false;
    }
    if (arguments.latencyMicroseconds) {
        for (emulator::DeviceConfig& device : scenario.devices) {
            device.timings.replyLatencyMicroseconds = *arguments.latencyMicroseconds;
        }
    }
    return true;
}

std::vector<std::uint8_t> ImageData(const std::wstring& name) {
    BinaryFile file;
    std::vector<std::uint8_t> data;
    const ImageFileHeader header = ReadImageFileHeader(file, name.c_str());
    if (header.check == ImageFileCheck::Usable) {
        LoadImageData(file, header.dataSize, data);
    }
    return data;
}

// Whether the emulated flash holds every image: each image of a multi-part update in the snapshot
// taken at the write active after it, a single image in its region.
bool FlashHoldsImages(const ImageSetReport& set, const emulator::EmulatedDevice& device) {
    const std::vector<const ImageFileReport*> files = set.FilesToWrite();
    const auto& snapshots = device.DeviceLoader().Snapshots();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::vector<std::uint8_t> data = ImageData(files[i]->name);
        if (files.size() > 1) {
            if (i >= snapshots.size() || snapshots[i].bytes != data ||
                snapshots[i].firstAddress != files[i]->region->StartAddress()) {
                return false;
            }
            continue;
        }
        const auto flash = device.Flash().Read(files[i]->region->StartAddress(),
                                               static_cast<std::uint32_t>(data.size()));
        if (!std::equal(flash.begin(), flash.end(), data.begin(), data.end())) {
            return false;
        }
    }
    return true;
}

// The device that the update opened: the QUORVANEX of the scenario, wherever it stands in the
// bridge's list.
const emulator::EmulatedDevice* UpdatedDevice(emulator::EmulatedBridge& bridge) {
    for (std::uint32_t index = 0; index < bridge.DeviceCount(); ++index) {
        if (bridge.Device(index).OpenCount() > 0) {
            return &bridge.Device(index);
        }
    }
    return nullptr;
}

int RehearsalOutcome(UpdateOutcome outcome, const ImageSetReport& set, ConsoleReport& report,
                     emulator::EmulatedBridge& bridge) {
    const emulator::EmulatedDevice* device = UpdatedDevice(bridge);
    if (outcome != UpdateOutcome::Finished || device == nullptr) {
        report.Finish();
        Refuse(report.IsJson(), Said(kUpdateDidNotStart));
        return kExitNoDevice;
    }
    const double seconds = report.Seconds();
    if (!FlashHoldsImages(set, *device)) {
        report.Event(JsonLine(Event::Mismatch).Decimal(field::kSeconds, seconds, 1),
                     Said(kRehearsalMismatch));
        return kExitRehearsalMismatch;
    }
    report.Event(JsonLine(Event::Done)
                     .Decimal(field::kSeconds, seconds, 1)
                     .Count(field::kFrames, FramesWritten()),
                 Said(kRehearsalDone, {std::to_string(static_cast<long>(seconds + 0.5))}));
    return kExitDone;
}

}  // namespace

int RunCheck(const Arguments& arguments) {
    const ImageSetReport set = ExamineImageSet();
    if (arguments.sums && set.updateWouldStart) {
        WriteOutput(SumLines(set));
        return kExitDone;
    }
    // The sums of a refused set are never written where they were asked for: the table that says
    // why goes to standard error instead.
    ShowImageSet(set, arguments.json, arguments.sums);
    return set.updateWouldStart ? kExitDone : kExitImagesRefused;
}

int RunRehearsal(const Arguments& arguments) {
    const ImageSetReport set = ExamineImageSet();
    if (!set.updateWouldStart) {
        ShowImageSet(set, arguments.json, true);
        return kExitImagesRefused;
    }
    emulator::Scenario scenario;
    if (!RehearsalScenario(arguments, scenario)) {
        return kExitUsage;
    }
    emulator::VirtualClock virtualClock;
    VirtualProgramClock clock(virtualClock);
    emulator::EmulatedBridge bridge(virtualClock);
    emulator::AttachScenarioDevices(scenario, bridge);
    const emulator::ScopedEmulatedBridge installed(bridge);
    CountFrames();
    ConsoleReport report(clock, ReportStyle(arguments), ImagesToReport(set));
    report.Event(
        JsonLine(Event::Start)
            .Text(field::kCommand, "rehearse")
            .Decimal(field::kLatencyMs,
                     scenario.devices.empty()
                         ? 0.0
                         : scenario.devices.front().timings.replyLatencyMicroseconds / 1000.0,
                     3)
            .Count(field::kTotal, set.bytesToWrite),
        Said(kRehearsing, {std::to_string(set.bytesToWrite)}));
    int exitCode = kExitDone;
    {
        const ScopedOperatorServices installed(report);
        try {
            exitCode = RehearsalOutcome(RunUpdate(std::nullopt), set, report, bridge);
        } catch (const ProcessEnd&) {
            exitCode = ReportFatalStop(report);
        }
        report.Finish();
    }
    emulator::WriteScenarioOutputs(scenario.outputs, bridge);
    return exitCode;
}

}  // namespace quorvanex::cli
