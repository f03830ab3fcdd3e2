// devices: the devices that the USB bridge sees. The update shows the same list when it cannot
// choose a unit, and makes the bridge library ready the same way.
#pragma once

#include <vector>

#include "cli/console/console_report.h"
#include "link/device_list.h"

namespace quorvanex::cli {

// Loads the bridge library; when it cannot be loaded, its own notice is told as a line like any
// other.
bool BridgeReady(ConsoleReport& report);

// The devices that the bridge sees, a line (or a JSON event) each: the index first and the kind
// second, so that a script can pick the units by the first two words. On standard error when they
// explain a refusal.
void ListDevices(const std::vector<BridgeDevice>& devices, bool json, bool asRefusal = false);

}  // namespace quorvanex::cli
