// The commands that reach a real device through the bridge library: devices and update.
#include <optional>

#include "cli/cli_texts.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/console_platform.h"
#include "cli/unit_record.h"
#include "link/bridge_library.h"
#include "link/device_list.h"
#include "link/link_texts.h"
#include "seam/binary_file.h"
#include "text/utf8.h"
#include "update/exit_code.h"
#include "update/update_run.h"

namespace quorvanex::cli {
namespace {

// The device to update: the one asked for, or the only QUORVANEX; nothing when there is none or
// the choice is not clear, which has been told.
std::optional<BridgeDevice> ChooseDevice(const Arguments& arguments) {
    const std::vector<BridgeDevice> devices = ListBridgeDevices();
    std::vector<BridgeDevice> units;
    for (const BridgeDevice& device : devices) {
        if (device.isQuorvanex && (!arguments.device || device.index == *arguments.device)) {
            units.push_back(device);
        }
    }
    if (units.size() == 1) {
        return units.front();
    }
    Tell(arguments.json, "refused",
         units.empty()
             ? (arguments.device ? Said(kDeviceNotAQuorvanex, {std::to_string(*arguments.device)})
                                 : Utf8FromWide(kNotConnected.text))
             : Said(kSeveralUnits));
    ListDevices(devices, arguments.json);
    return std::nullopt;
}

// One line a unit, appended, for the production line's records; with "-" for the file, a record
// event on standard output for update --all, which keeps the records of its units.
void WriteRecord(const Arguments& arguments, const BridgeDevice& device, const ImageSetReport& set,
                 const char* outcome, std::uint8_t fatalCode, double seconds,
                 std::uint32_t resends) {
    if (arguments.recordFile.empty()) {
        return;
    }
    UnitRecord record;
    record.device = device.index;
    record.product = device.product.value_or("");
    record.outcome = outcome;
    record.fatalCode = fatalCode;
    record.seconds = seconds;
    record.frames = FramesWritten();
    record.resends = resends;
    if (arguments.recordFile == kRecordToOutput) {
        WriteOutput(RecordLine(record, set, "record").Line());
        return;
    }
    if (!AppendRecordLine(arguments.recordFile, RecordLine(record, set).Line())) {
        Tell(arguments.json, "record", Said(kRecordNotWritten, {arguments.recordFile}));
    }
}

}  // namespace

int RunDevices(const Arguments& arguments) {
    SystemProgramClock clock;
    ConsoleReport report(clock, ReportStyle(arguments), {});
    if (!BridgeReady(report)) {
        return kExitNoDevice;
    }
    const std::vector<BridgeDevice> devices = ListBridgeDevices();
    ListDevices(devices, arguments.json);
    for (const BridgeDevice& device : devices) {
        if (device.isQuorvanex) {
            return kExitDone;
        }
    }
    return kExitNoDevice;
}

int RunDeviceUpdate(const Arguments& arguments) {
    SystemProgramClock clock;
    return RunDeviceUpdate(arguments, clock);
}

int RunDeviceUpdate(const Arguments& arguments, ProgramClock& clock) {
    const ImageSetReport set = ExamineImageSet();
    if (!SetMayBeWritten(arguments, set)) {
        return kExitImagesRefused;
    }
    ConsoleReport report(clock, ReportStyle(arguments), ImagesToReport(set));
    if (!BridgeReady(report)) {
        return kExitNoDevice;
    }
    const std::optional<BridgeDevice> device = ChooseDevice(arguments);
    if (!device) {
        return kExitNoDevice;
    }
    CountFrames();
    report.Event(
        JsonLine("start")
            .Text("command", "update")
            .Count("device", device->index)
            .Text("product", device->product.value_or(""))
            .Count("total", set.bytesToWrite),
        Said(kUpdatingDevice, {std::to_string(device->index), std::to_string(set.bytesToWrite)}));
    std::optional<UpdateOutcome> outcome;
    {
        // The report is the program's side only while the update runs, on every way out of it.
        const ScopedOperatorServices installed(report);
        try {
            outcome = RunUpdateUnderLock(device->index);
            report.Finish();
        } catch (const ProcessEnd&) {
            // The fatal stop, told below.
        }
    }
    if (!outcome) {
        const int exitCode = ReportFatalStop(report);
        WriteRecord(arguments, *device, set, "fatal", RecordedFatalCode().value_or(0),
                    report.Seconds(), report.Resends());
        return exitCode;
    }
    if (*outcome != UpdateOutcome::Finished) {
        const char* why = *outcome == UpdateOutcome::AnotherUpdateRuns ? "busy" : "not-opened";
        WriteRecord(arguments, *device, set, why, 0, report.Seconds(), report.Resends());
        return kExitNoDevice;
    }
    report.Event(JsonLine("done").Decimal("seconds", report.Seconds(), 1),
                 Said(kUpdateDoneIn, {std::to_string(static_cast<long>(report.Seconds()))}));
    WriteRecord(arguments, *device, set, "done", 0, report.Seconds(), report.Resends());
    return kExitDone;
}

}  // namespace quorvanex::cli
