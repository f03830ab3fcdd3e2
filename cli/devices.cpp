#include "cli/devices.h"

#include "cli/arguments.h"
#include "cli/cli_texts.h"
#include "cli/commands.h"
#include "cli/console/console_platform.h"
#include "cli/console/update_clock.h"
#include "cli/exit_codes.h"
#include "cli/json_line.h"
#include "cli/refusals.h"
#include "link/bridge_library.h"

namespace quorvanex::cli {
namespace {

std::string DeviceRow(const BridgeDevice& device) {
    return Said(kDeviceRow, {std::to_string(device.index),
                             Said(device.isQuorvanex ? kDeviceKindQuorvanex : kDeviceKindOther),
                             device.serial.value_or(Said(kSerialUnreadable)),
                             device.product.value_or(Said(kNoProductString))});
}

}  // namespace

bool BridgeReady(ConsoleReport& report) {
    const ScopedConsoleSide installed(report);
    const bool ready = BridgeLibraryReady();
    report.Finish();
    return ready;
}

void ListDevices(const std::vector<BridgeDevice>& devices, bool json, bool asRefusal) {
    for (const BridgeDevice& device : devices) {
        const std::string line = json ? JsonLine(Event::Device)
                                            .Count(field::kIndex, device.index)
                                            .Text(field::kSerial, device.serial.value_or(""))
                                            .Text(field::kProduct, device.product.value_or(""))
                                            .Boolean(field::kQuorvanex, device.isQuorvanex)
                                            .Line()
                                      : DeviceRow(device) + "\n";
        WriteOutputOrRefusal(asRefusal && !json, line);
    }
}

int RunDevicesCommand(const Arguments& arguments) {
    SystemProgramClock clock;
    ConsoleReport report(clock, ReportStyle(arguments), {});
    if (!BridgeReady(report)) {
        return kExitNoDevice;
    }
    const std::vector<BridgeDevice> devices = ListBridgeDevices();
    if (devices.empty()) {
        Refuse(arguments.json, Said(kNoDevices));
        return kExitNoDevice;
    }
    ListDevices(devices, arguments.json);
    for (const BridgeDevice& device : devices) {
        if (device.isQuorvanex) {
            return kExitDone;
        }
    }
    return kExitNoDevice;
}

}  // namespace quorvanex::cli
