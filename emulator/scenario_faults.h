// The fault statements of the scenario language (emulator/scenario.h), read by the rows of the
// fault tables (emulator/device_faults.h), which ScenarioFaults lists.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "emulator/device_faults.h"

namespace quorvanex::emulator {

// A whole number of the scenario: decimal digits, nine at most.
std::optional<std::uint32_t> ScenarioNumber(const std::string& word);
// "fault <name>": the device's fault of that name; nullptr for no such fault.
bool DeviceFaults::*DeviceFaultNamed(const std::string& word);
// "exchange-fault <fault> <frames> <occurrence> [<count>] [<its parameter>=N]"
std::optional<ExchangeFaultRule> ParseExchangeFault(const std::string& argument);
// "power-cut <frames> <occurrence> <moment> [back-after-ms=N]"
std::optional<PowerCut> ParsePowerCut(const std::string& argument);

}  // namespace quorvanex::emulator
