// The commands that reach a real device through the bridge library: devices and update.
#include <ctime>
#include <optional>

#include "cli/cli_texts.h"
#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/console_platform.h"
#include "link/bridge_library.h"
#include "link/device_list.h"
#include "link/link_texts.h"
#include "seam/binary_file.h"
#include "text/utf8.h"
#include "update/exit_code.h"
#include "update/update_run.h"

namespace quorvanex::cli {
namespace {

// The library's own notice, when it cannot be loaded, is told as a line like any other.
bool BridgeReady(ConsoleReport& report) {
    const ScopedOperatorServices installed(report);
    const bool ready = BridgeLibraryReady();
    report.Finish();
    return ready;
}

// The index first and the kind second, so that a script can pick the units by the first two words.
std::string DeviceRow(const BridgeDevice& device) {
    return std::to_string(device.index) + (device.isQuorvanex ? "  QUORVANEX  " : "  other      ") +
           "serial " + device.serial.value_or("(unreadable)") + "  " +
           device.product.value_or("(no product string)");
}

void ListDevices(const std::vector<BridgeDevice>& devices, bool json) {
    for (const BridgeDevice& device : devices) {
        WriteOutput(json ? JsonLine("device")
                               .Count("index", device.index)
                               .Text("serial", device.serial.value_or(""))
                               .Text("product", device.product.value_or(""))
                               .Boolean("quorvanex", device.isQuorvanex)
                               .Line()
                         : DeviceRow(device) + "\n");
    }
}

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

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    char text[32] = "";
    if (const std::tm* utc = std::gmtime(&now)) {
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc);
    }
    return text;
}

// One line a unit, appended, for the production line's records.
void WriteRecord(const Arguments& arguments, const BridgeDevice& device, const ImageSetReport& set,
                 const char* outcome, std::uint8_t fatalCode, double seconds,
                 std::uint32_t resends) {
    if (arguments.recordFile.empty()) {
        return;
    }
    std::string images = "[";
    for (const ImageFileReport* file : set.FilesToWrite()) {
        if (images.size() > 1) {
            images += ',';
        }
        images +=
            JsonLine().Text("name", Utf8FromWide(file->name)).Text("sha256", file->sha256).Object();
    }
    JsonLine record;
    record.Text("time", UtcNow()).Count("device", device.index);
    record.Text("product", device.product.value_or("")).Raw("images", images + "]");
    record.Text("outcome", outcome);
    if (fatalCode != 0) {
        record.Count("fatal_code", fatalCode);
    } else {
        record.Null("fatal_code");
    }
    record.Decimal("seconds", seconds, 1)
        .Count("frames", FramesWritten())
        .Count("resends", resends);
    if (!AppendToFile(WideFromUtf8(arguments.recordFile).c_str(), record.Line())) {
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
    if (!set.updateWouldStart) {
        ShowImageSet(set, arguments.json);
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
