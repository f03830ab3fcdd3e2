// rehearse: the whole update against the built-in emulator, or with --power-cuts a sweep of power
// cuts (cli/rehearse/power_cuts.h).
#include "cli/check.h"
#include "cli/cli_texts.h"
#include "cli/commands.h"
#include "cli/console/console_platform.h"
#include "cli/console/fatal_stop_event.h"
#include "cli/console/update_clock.h"
#include "cli/exit_codes.h"
#include "cli/frame_count.h"
#include "cli/refusals.h"
#include "cli/rehearse/power_cuts.h"
#include "cli/rehearse/rehearsal.h"
#include "emulator/bridge_binding.h"
#include "emulator/emulated_bridge.h"
#include "emulator/scenario.h"
#include "emulator/virtual_program_clock.h"
#include "protocol/flash_programming.h"
#include "seam/binary_file.h"
#include "text/utf8.h"
#include "update/exit_code.h"
#include "update/update_steps.h"

namespace quorvanex::cli {
namespace {

int RehearsalOutcome(UpdateOutcome outcome, const ImageSetReport& set, ConsoleReport& report,
                     emulator::EmulatedBridge& bridge) {
    const emulator::EmulatedDevice* device = UpdatedDevice(bridge);
    if (outcome != UpdateOutcome::Finished || device == nullptr) {
        report.Finish();
        Refuse(report.IsJson(), Said(kUpdateDidNotStart));
        return kExitNoDevice;
    }
    const double seconds = report.Seconds();
    if (!FlashHoldsImages(set, LoadImagesOfSet(set), *device)) {
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

int RunRehearseCommand(const Arguments& arguments) {
    const ImageSetReport set = ExamineImageSet();
    if (!set.updateWouldStart) {
        ShowImageSet(set, arguments.json, true);
        return kExitImagesRefused;
    }
    if (arguments.powerCuts) {
        return RehearsePowerCuts(arguments, set);
    }
    emulator::Scenario scenario;
    if (!RehearsalScenario(arguments, scenario)) {
        return kExitUsage;
    }
    emulator::VirtualClock virtualClock;
    emulator::VirtualProgramClock clock(virtualClock);
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
        const ScopedConsoleSide installed(report);
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
