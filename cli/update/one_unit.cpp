#include "cli/update/one_unit.h"

#include <optional>

#include "cli/cli_texts.h"
#include "cli/console/console_platform.h"
#include "cli/console/fatal_stop_event.h"
#include "cli/console/update_clock.h"
#include "cli/devices.h"
#include "cli/exit_codes.h"
#include "cli/frame_count.h"
#include "cli/refusals.h"
#include "cli/update/approval_check.h"
#include "cli/update/unit_record.h"
#include "cli/update/update_set_up.h"
#include "link/bridge_library.h"
#include "link/device_connection.h"
#include "link/device_list.h"
#include "link/link_texts.h"
#include "text/utf8.h"
#include "update/device_change.h"
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
    std::string text = Said(kSeveralUnits);
    if (units.empty() && !arguments.device) {
        text = Utf8FromWide(kNotConnected.text);
    } else if (units.empty()) {
        const std::string index = std::to_string(*arguments.device);
        text = *arguments.device < devices.size()
                   ? Said(kDeviceNotAQuorvanex, {index})
                   : Said(kNoSuchDevice, {index, std::to_string(devices.size())});
    }
    Refuse(arguments.json, text,
           arguments.device ? std::optional(Outcome::NotFound) : std::nullopt);
    ListDevices(devices, arguments.json, true);
    return std::nullopt;
}

// The unit's one record line, appended (or a record event for "-"); with --json the record is
// told as an event as well, so that update --all knows that its unit has written its own. A record
// that cannot be written is told, never as a record, and the exit code then says so.
int WriteRecord(const Arguments& arguments, const UnitRecord& record, int exitCode) {
    const RecordFile records(arguments.recordFile);
    if (!records.Wanted()) {
        return exitCode;
    }
    if (!records.Append(record)) {
        const std::string text = Said(kRecordNotWritten, {arguments.recordFile});
        if (arguments.json) {
            WriteOutput(JsonLine(Event::RecordNotWritten)
                            .Text(field::kText, text)
                            .Text(field::kFile, arguments.recordFile)
                            .Line());
        } else {
            WriteError(text + "\n");
        }
        return exitCode == kExitDone ? kExitRecordNotWritten : exitCode;
    }
    if (arguments.json && !records.ToOutput()) {
        WriteOutput(RecordLine(record, true).Line());
    }
    return exitCode;
}

// An update that the command line ended before its finish (stopped, or an image not approved):
// the unit is closed and no longer being changed.
void LeaveUnfinishedUpdate(ConsoleReport& report) {
    report.Finish();
    CloseDevice();
    MarkDeviceChangeEnded();
}

// The update of the unit, on the report's side, told to its end; the record says how it ended.
int UpdateChosenUnit(const Arguments& arguments, ConsoleReport& report, OperatorServices& services,
                     unsigned (*stopRequests)(), UnitRecord& record) {
    std::optional<UpdateOutcome> outcome;
    // The report is the program's side only while the update runs, on every way out of it.
    const ScopedConsoleSide installed(report, services,
                                      stopRequests != nullptr
                                          ? std::function<unsigned()>(stopRequests)
                                          : std::function<unsigned()>());
    try {
        outcome = RunUpdateUnderLock(record.device);
        report.Finish();
    } catch (const ProcessEnd&) {
        record.outcome = Outcome::Fatal;
        record.fatalCode = RecordedFatalCode().value_or(0);
        return ReportFatalStop(report);
    } catch (const UpdateStopped&) {
        record.outcome = Outcome::Interrupted;
        LeaveUnfinishedUpdate(report);
        report.Event(JsonLine(Event::Stopping).Text(field::kText, Said(kUpdateStopped)),
                     Said(kUpdateStopped));
        return kExitStopped;
    } catch (const ImageNotApproved& refused) {
        record.outcome = Outcome::NotApproved;
        LeaveUnfinishedUpdate(report);
        Refuse(arguments.json, Said(kImageNotApproved, {refused.name}), Outcome::NotApproved);
        return kExitImagesRefused;
    }
    switch (*outcome) {
        case UpdateOutcome::Finished:
            record.outcome = Outcome::Done;
            report.Event(
                JsonLine(Event::Done)
                    .Decimal(field::kSeconds, report.Seconds(), 1)
                    .Count(field::kFrames, FramesWritten()),
                Said(kUpdateDoneIn, {std::to_string(static_cast<long>(report.Seconds()))}));
            return kExitDone;
        case UpdateOutcome::AnotherUpdateRuns:
            record.outcome = Outcome::Busy;
            return kExitNoDevice;
        case UpdateOutcome::NotOpened:
            record.outcome = Outcome::NotOpened;
            Refuse(arguments.json, Said(kDeviceNotOpened, {std::to_string(record.device)}),
                   Outcome::NotOpened);
            return kExitNoDevice;
        case UpdateOutcome::NotStarted:
            break;
    }
    // Its files or the unit were there when they were looked at, and are gone now: the update
    // told why in its boxes.
    record.outcome = Outcome::Refused;
    return kExitNoDevice;
}

}  // namespace

int UpdateOneUnit(const Arguments& arguments, ProgramClock& clock, unsigned (*stopRequests)()) {
    const UpdateSetUp setUp = SetUpUpdate(arguments, clock);
    if (setUp.stopped && !setUp.stopped->outcome) {
        return setUp.stopped->exitCode;
    }
    const ImageSetReport& set = setUp.set;
    UnitRecord record;
    record.runId = arguments.runId.empty() ? NewRunId() : arguments.runId;
    record.run = arguments.run.empty() ? record.runId : arguments.run;
    record.device = arguments.device.value_or(0);
    // A unit named by its index (as update --all names each) has its record whatever ends it;
    // without one there is no unit to record until one is chosen.
    const auto refusedUnit = [&](Outcome outcome, int exitCode) {
        record.outcome = outcome;
        return arguments.device ? WriteRecord(arguments, record, exitCode) : exitCode;
    };
    if (setUp.stopped) {
        return refusedUnit(*setUp.stopped->outcome, setUp.stopped->exitCode);
    }
    ConsoleReport report(clock, ReportStyle(arguments), ImagesToReport(set));
    const std::optional<BridgeDevice> device = ChooseDevice(arguments);
    if (!device) {
        return refusedUnit(Outcome::NotFound, kExitNoDevice);
    }
    record.device = device->index;
    record.product = device->product.value_or("");
    if (stopRequests != nullptr && stopRequests() > 0) {
        Refuse(arguments.json, Said(kUpdateStopped), Outcome::Interrupted);
        return refusedUnit(Outcome::Interrupted, kExitStopped);
    }
    CountFrames();
    report.Event(
        JsonLine(Event::Start)
            .Text(field::kCommand, "update")
            .Count(field::kDevice, device->index)
            .Text(field::kProduct, record.product)
            .Count(field::kTotal, set.bytesToWrite)
            .Text(field::kRun, record.run)
            .Text(field::kRunId, record.runId),
        Said(kUpdatingDevice, {std::to_string(device->index), std::to_string(set.bytesToWrite)}));
    // With --expect, every image passes the check of the approved set on its way to the report.
    std::optional<ApprovalCheck> approval;
    if (setUp.approved) {
        approval.emplace(report, *setUp.approved);
    }
    OperatorServices& services = approval ? static_cast<OperatorServices&>(*approval) : report;
    const int exitCode = UpdateChosenUnit(arguments, report, services, stopRequests, record);
    record.images = report.ImagesLoaded();
    record.seconds = report.Seconds();
    record.frames = FramesWritten();
    record.resends = report.Resends();
    return WriteRecord(arguments, record, exitCode);
}

}  // namespace quorvanex::cli
