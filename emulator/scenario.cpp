#include "emulator/scenario.h"

#include <cstdio>
#include <map>
#include <optional>
#include <sstream>
#include <string_view>

#include "emulator/scenario_faults.h"
#include "seam/binary_file.h"
#include "text/utf8.h"

namespace quorvanex::emulator {
namespace {

// The whole file's bytes, or nothing when it cannot be read.
std::optional<std::vector<std::uint8_t>> FileBytes(const std::string& path) {
    std::string bytes;
    if (!ReadWholeFile(WidePathFromUtf8(path).c_str(), bytes)) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

// Reads the statements of a scenario one at a time; the timings apply to every device at the end.
class ScenarioReader {
  public:
    ScenarioReader(Scenario& scenario, const ScenarioDefaults& defaults)
        : scenario_(scenario),
          timings_(defaults.timings),
          timingsSet_(defaults.timingsGiven),
          impliedDevice_(defaults.impliedDevice) {}

    // An empty text, or what is wrong with the statement.
    std::string Read(const std::string& keyword, const std::string& argument) {
        if (keyword == "device") {
            return Device(argument);
        }
        if (keyword == "count-fails") {
            scenario_.countFails = true;
            return {};
        }
        if (const auto timing = kTimings.find(keyword); timing != kTimings.end()) {
            const auto value = ScenarioNumber(argument);
            timings_.*(timing->second) = value.value_or(0);
            timingsSet_ = true;
            return value ? "" : keyword + " needs a whole number of microseconds";
        }
        if (const auto output = kOutputs.find(keyword); output != kOutputs.end()) {
            scenario_.outputs.*(output->second) = argument;
            return {};
        }
        if (scenario_.devices.empty() && impliedDevice_) {
            Device(DeviceConfig{}.serial);
        }
        if (scenario_.devices.empty()) {
            return keyword + " before any device, or unknown";
        }
        return DeviceStatement(scenario_.devices.back(), keyword, argument);
    }

    void Finish() {
        if (scenario_.devices.empty() && impliedDevice_) {
            Device(DeviceConfig{}.serial);
        }
        if (timingsSet_) {
            for (DeviceConfig& device : scenario_.devices) {
                device.timings = timings_;
            }
        }
    }

  private:
    std::string Device(const std::string& serial) {
        if (serial.empty()) {
            return "device needs a serial";
        }
        DeviceConfig config;
        config.serial = serial;
        scenario_.devices.push_back(config);
        return {};
    }

    static std::string DeviceStatement(DeviceConfig& device, const std::string& keyword,
                                       const std::string& argument) {
        if (keyword == "product") {
            device.product = argument;
            return {};
        }
        if (keyword == "fault") {
            bool DeviceFaults::*const flag = DeviceFaultNamed(argument);
            if (flag != nullptr) {
                device.faults.*flag = true;
            }
            return flag != nullptr ? "" : "unknown fault " + argument;
        }
        if (keyword == "exchange-fault") {
            const auto rule = ParseExchangeFault(argument);
            if (rule) {
                device.faults.exchanges.push_back(*rule);
            }
            return rule ? "" : "cannot read exchange-fault " + argument;
        }
        if (keyword == "power-cut") {
            device.faults.powerCut = ParsePowerCut(argument);
            return device.faults.powerCut ? "" : "cannot read power-cut " + argument;
        }
        if (keyword == "flash-from") {
            const auto bytes = FileBytes(argument);
            if (!bytes || bytes->size() > SpiFlash::kSize) {
                return "flash-from " + argument + ": not a readable file of at most 4 MiB";
            }
            device.flash = std::make_shared<const std::vector<std::uint8_t>>(std::move(*bytes));
            return {};
        }
        return "unknown statement " + keyword;
    }

    static inline const std::map<std::string, std::uint32_t DeviceTimings::*> kTimings = {
        {"reply-latency-us", &DeviceTimings::replyLatencyMicroseconds},
        {"page-program-us", &DeviceTimings::pageProgramMicroseconds},
        {"sector-erase-us", &DeviceTimings::sectorEraseMicroseconds},
        {"write-active-busy-us", &DeviceTimings::writeActiveBusyMicroseconds},
    };
    static inline const std::map<std::string, std::string ScenarioOutputs::*> kOutputs = {
        {"output-flash", &ScenarioOutputs::flashPath},
        {"output-snapshots", &ScenarioOutputs::snapshotPrefix},
        {"output-trace", &ScenarioOutputs::tracePath},
        {"output-summary", &ScenarioOutputs::summaryPath},
    };

    Scenario& scenario_;
    DeviceTimings timings_;
    bool timingsSet_;
    bool impliedDevice_;
};

// A line's keyword and the rest of it, without a comment or trailing blanks; false for a line
// with no statement.
bool SplitStatement(std::string line, std::string& keyword, std::string& argument) {
    if (const std::size_t comment = line.find('#'); comment != std::string::npos) {
        line.erase(comment);
    }
    std::istringstream words(line);
    if (!(words >> keyword)) {
        return false;
    }
    std::getline(words >> std::ws, argument);
    while (!argument.empty() && (argument.back() == ' ' || argument.back() == '\r')) {
        argument.pop_back();
    }
    return true;
}

// A problem is shown with this many characters of its line at most: a whole statement fits.
constexpr std::size_t kLongestProblemShown = 160;

}  // namespace

bool ParseScenario(std::string_view text, Scenario& scenario, std::string& error,
                   const ScenarioDefaults& defaults) {
    ScenarioReader reader(scenario, defaults);
    // Notepad begins a file it saves as UTF-8 with a byte-order mark.
    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        text.remove_prefix(kByteOrderMark.size());
    }
    std::istringstream lines{std::string(text)};
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        std::string keyword;
        std::string argument;
        if (!SplitStatement(line, keyword, argument)) {
            continue;
        }
        const std::string problem = reader.Read(keyword, argument);
        if (!problem.empty()) {
            // A file that is no scenario (a program, a picture) has lines of any bytes: they are
            // shown as text, and cut short.
            error = "line " + std::to_string(number) + ": " +
                    PrintableUtf8(problem, kLongestProblemShown);
            return false;
        }
    }
    reader.Finish();
    return true;
}

void AttachScenarioDevices(const Scenario& scenario, EmulatedBridge& bridge) {
    for (const DeviceConfig& device : scenario.devices) {
        bridge.Attach(device);
    }
    bridge.SetCountFails(scenario.countFails);
}

}  // namespace quorvanex::emulator
