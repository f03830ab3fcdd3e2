#include "emulator/scenario.h"

#include <cstdio>
#include <map>
#include <optional>
#include <sstream>
#include <string_view>

#include "seam/binary_file.h"
#include "text/utf8.h"

namespace quorvanex::emulator {
namespace {

std::optional<std::uint32_t> Number(const std::string& word) {
    if (word.empty() || word.find_first_not_of("0123456789") != std::string::npos ||
        word.size() > 9) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(std::stoul(word));
}

std::optional<std::uint8_t> HexByte(const std::string& word) {
    if (word.empty() || word.size() > 2 ||
        word.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(std::stoul(word, nullptr, 16));
}

struct ExchangeFaultRow {
    ExchangeFault fault;
    const char* word;
    const char* parameter;
    std::uint32_t fallback;
    const char* description;
};
constexpr ExchangeFaultRow kExchangeFaultRows[] = {
#define QUORVANEX_EXCHANGE_FAULT_ROW(name, word, parameter, fallback, description) \
    {ExchangeFault::name, word, parameter, fallback, description},
    QUORVANEX_EXCHANGE_FAULTS(QUORVANEX_EXCHANGE_FAULT_ROW)
#undef QUORVANEX_EXCHANGE_FAULT_ROW
};

struct PowerCutRow {
    PowerCutMoment moment;
    const char* word;
    const char* description;
};
constexpr PowerCutRow kPowerCutRows[] = {
#define QUORVANEX_POWER_CUT_ROW(name, word, description) {PowerCutMoment::name, word, description},
    QUORVANEX_POWER_CUTS(QUORVANEX_POWER_CUT_ROW)
#undef QUORVANEX_POWER_CUT_ROW
};

struct DeviceFaultRow {
    bool DeviceFaults::*flag;
    const char* word;
    const char* description;
};
constexpr DeviceFaultRow kDeviceFaultRows[] = {
#define QUORVANEX_DEVICE_FAULT_ROW(name, word, description) \
    {&DeviceFaults::name, word, description},
    QUORVANEX_DEVICE_FAULTS(QUORVANEX_DEVICE_FAULT_ROW)
#undef QUORVANEX_DEVICE_FAULT_ROW
};

// The kinds of frame that a fault can strike: every kind but the malformed.
std::vector<FrameKind> StrikableFrameKinds() {
    std::vector<FrameKind> kinds;
    for (int kind = 0; kind < static_cast<int>(FrameKind::Malformed); ++kind) {
        kinds.push_back(static_cast<FrameKind>(kind));
    }
    return kinds;
}

template <typename Row, std::size_t Count>
const Row* RowNamed(const Row (&rows)[Count], const std::string& word) {
    for (const Row& row : rows) {
        if (word == row.word) {
            return &row;
        }
    }
    return nullptr;
}

// "any", a frame kind's word, or "control:D6" for the control frames of one code.
std::optional<FrameSelector> FramesNamed(const std::string& name) {
    if (name == "any") {
        return FrameSelector{};
    }
    if (name.rfind("control:", 0) == 0) {
        const auto code = HexByte(name.substr(8));
        return code ? std::optional(FrameSelector{FrameKind::Control, *code}) : std::nullopt;
    }
    for (FrameKind kind : StrikableFrameKinds()) {
        if (name == FrameKindWord(kind)) {
            return FrameSelector{kind, std::nullopt};
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> HexBytes(const std::string& list) {
    std::vector<std::uint8_t> bytes;
    std::istringstream words(list);
    std::string word;
    while (std::getline(words, word, ',')) {
        const auto byte = HexByte(word);
        if (!byte) {
            return std::nullopt;
        }
        bytes.push_back(*byte);
    }
    return bytes;
}

// One word after the occurrence: the count, or the number (or bytes) that the fault takes.
bool ReadRuleWord(const std::string& word, const ExchangeFaultRow& row, ExchangeFaultRule& rule) {
    const std::size_t equals = word.find('=');
    if (equals == std::string::npos) {
        const auto count = Number(word);
        rule.frames.count = count.value_or(0);
        return count.has_value();
    }
    const std::string key = word.substr(0, equals);
    const std::string value = word.substr(equals + 1);
    if (key != row.parameter) {
        return false;
    }
    if (std::string_view(row.parameter) == "reply") {
        const auto bytes = HexBytes(value);
        rule.replyBytes = bytes.value_or(std::vector<std::uint8_t>{});
        return bytes.has_value();
    }
    const auto amount = Number(value);
    rule.amount = amount.value_or(0);
    return amount.has_value();
}

// <fault> <frames> <occurrence> [<count>] [<its parameter>=N]
std::optional<ExchangeFaultRule> ParseExchangeFault(const std::string& argument) {
    std::istringstream words(argument);
    std::string faultName;
    std::string framesName;
    std::string occurrenceWord;
    words >> faultName >> framesName >> occurrenceWord;
    const ExchangeFaultRow* row = RowNamed(kExchangeFaultRows, faultName);
    const auto frames = FramesNamed(framesName);
    const auto occurrence = Number(occurrenceWord);
    if (row == nullptr || !frames || !occurrence || *occurrence == 0) {
        return std::nullopt;
    }
    ExchangeFaultRule rule{row->fault, *frames, row->fallback, {}};
    rule.frames.occurrence = *occurrence;
    std::string word;
    while (words >> word) {
        if (!ReadRuleWord(word, *row, rule)) {
            return std::nullopt;
        }
    }
    return rule;
}

// <frames> <occurrence> <moment> [back-after-ms=N]
std::optional<PowerCut> ParsePowerCut(const std::string& argument) {
    std::istringstream words(argument);
    std::string framesName;
    std::string occurrenceWord;
    std::string momentWord;
    std::string dipWord;
    std::string extra;
    words >> framesName >> occurrenceWord >> momentWord >> dipWord;
    const auto frames = FramesNamed(framesName);
    const auto occurrence = Number(occurrenceWord);
    const PowerCutRow* row = RowNamed(kPowerCutRows, momentWord);
    if (!frames || !occurrence || *occurrence == 0 || row == nullptr || (words >> extra)) {
        return std::nullopt;
    }
    PowerCut cut{*frames, row->moment, std::nullopt};
    cut.frames.occurrence = *occurrence;
    if (!dipWord.empty()) {
        const std::string key = std::string(kPowerBackWord) + "=";
        const auto dip =
            dipWord.rfind(key, 0) == 0 ? Number(dipWord.substr(key.size())) : std::nullopt;
        if (!dip) {
            return std::nullopt;
        }
        cut.backAfterMilliseconds = *dip;
    }
    return cut;
}

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
            const auto value = Number(argument);
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
            const DeviceFaultRow* row = RowNamed(kDeviceFaultRows, argument);
            if (row != nullptr) {
                device.faults.*(row->flag) = true;
            }
            return row != nullptr ? "" : "unknown fault " + argument;
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

bool WriteBytes(const std::string& path, const std::uint8_t* bytes, std::size_t length) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes, 1, length, file) == length;
    return std::fclose(file) == 0 && written;
}

bool WriteText(const std::string& path, const std::string& text) {
    return WriteBytes(path, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char byte[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(byte, sizeof byte, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += byte;
    }
    return text;
}

// The summary of every device, or of one alone; the snapshots of the device whose snapshot files
// are written name their files.
std::string Summary(const ScenarioOutputs& outputs, EmulatedBridge& bridge,
                    std::uint32_t snapshotDevice, std::optional<std::uint32_t> onlyDevice) {
    std::ostringstream summary;
    summary << "calls";
    for (std::size_t i = 0; i < kBridgeOperationCount; ++i) {
        summary << ' ' << kBridgeOperationNames[i] << '='
                << bridge.Calls(static_cast<BridgeOperation>(i));
    }
    summary << " total=" << bridge.TotalCalls() << '\n';
    for (std::uint32_t index = 0; index < bridge.DeviceCount(); ++index) {
        if (onlyDevice && index != *onlyDevice) {
            continue;
        }
        EmulatedDevice& device = bridge.Device(index);
        const Loader& loader = device.DeviceLoader();
        summary << "device " << index << " serial=" << device.Config().serial
                << " opened=" << device.OpenCount() << " open=" << (device.IsOpen() ? 1 : 0)
                << '\n';
        summary << "control-codes " << Hex(loader.ControlCodes()) << '\n';
        summary << "pages-accepted " << loader.PagesAccepted() << '\n';
        summary << "pages-rejected " << loader.PagesRejected() << '\n';
        summary << "erases " << loader.Flash().EraseCount() << '\n';
        summary << "misuses " << loader.Flash().Misuses().size() << '\n';
        for (std::size_t s = 0; s < loader.Snapshots().size(); ++s) {
            const RegionSnapshot& snapshot = loader.Snapshots()[s];
            summary << "snapshot " << s << " address=" << snapshot.firstAddress
                    << " size=" << snapshot.bytes.size();
            if (!outputs.snapshotPrefix.empty() && index == snapshotDevice) {
                summary << " file=" << outputs.snapshotPrefix << '-' << s << ".bin";
            }
            summary << '\n';
        }
    }
    return summary.str();
}

// "{unit}" in an output's path stands for a device's index.
constexpr std::string_view kUnitMark = "{unit}";

bool NamesUnits(const ScenarioOutputs& outputs) {
    for (const std::string* path :
         {&outputs.flashPath, &outputs.snapshotPrefix, &outputs.tracePath, &outputs.summaryPath}) {
        if (path->find(kUnitMark) != std::string::npos) {
            return true;
        }
    }
    return false;
}

ScenarioOutputs ForUnit(ScenarioOutputs outputs, std::uint32_t index) {
    for (std::string* path :
         {&outputs.flashPath, &outputs.snapshotPrefix, &outputs.tracePath, &outputs.summaryPath}) {
        for (std::size_t at; (at = path->find(kUnitMark)) != std::string::npos;) {
            path->replace(at, kUnitMark.size(), std::to_string(index));
        }
    }
    return outputs;
}

// The outputs of one device: its flash and snapshots, and the trace and summary of every device
// or, with onlyDevice, of that one.
bool WriteOutputsOf(const ScenarioOutputs& outputs, EmulatedBridge& bridge, std::uint32_t device,
                    std::optional<std::uint32_t> onlyDevice) {
    bool written = true;
    if (!outputs.flashPath.empty() && bridge.DeviceCount() > device) {
        const auto& contents = bridge.Device(device).Flash().Contents();
        written &= WriteBytes(outputs.flashPath, contents.data(), contents.size());
    }
    if (!outputs.snapshotPrefix.empty() && bridge.DeviceCount() > device) {
        const auto& snapshots = bridge.Device(device).DeviceLoader().Snapshots();
        for (std::size_t s = 0; s < snapshots.size(); ++s) {
            written &= WriteBytes(outputs.snapshotPrefix + "-" + std::to_string(s) + ".bin",
                                  snapshots[s].bytes.data(), snapshots[s].bytes.size());
        }
    }
    if (!outputs.tracePath.empty()) {
        std::string trace;
        for (const TraceEntry& entry : bridge.DeviceTrace()) {
            if (onlyDevice && entry.device != *onlyDevice) {
                continue;
            }
            trace += std::to_string(entry.timeMicroseconds) + ' ' + std::to_string(entry.device) +
                     (entry.direction == TraceDirection::Frame ? " frame " : " reply ") +
                     FrameKindWord(entry.kind) + ' ' + Hex(entry.bytes) + '\n';
        }
        written &= WriteText(outputs.tracePath, trace);
    }
    if (!outputs.summaryPath.empty()) {
        written &= WriteText(outputs.summaryPath, Summary(outputs, bridge, device, onlyDevice));
    }
    return written;
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

std::string ScenarioFaults() {
    std::string text = "fault <name>, for the device named last:\n";
    for (const DeviceFaultRow& row : kDeviceFaultRows) {
        text += std::string("  ") + row.word + ": " + row.description + "\n";
    }
    text += "exchange-fault <name> <frames> <occurrence> [<count>] [<parameter>=N]:\n";
    for (const ExchangeFaultRow& row : kExchangeFaultRows) {
        text += std::string("  ") + row.word;
        if (*row.parameter != '\0') {
            text += std::string(" [") + row.parameter + "=" + std::to_string(row.fallback) + "]";
        }
        text += std::string(": ") + row.description + "\n";
    }
    text += "power-cut <frames> <occurrence> <moment> [" + std::string(kPowerBackWord) +
            "=N], the device's power lost at that frame (and back N ms later):\n";
    for (const PowerCutRow& row : kPowerCutRows) {
        text += std::string("  ") + row.word + ": " + row.description + "\n";
    }
    text += std::string("  ") + kPowerBackWord +
            "=N: the power comes back N ms after the cut: the loader starts afresh (state "
            "normal, speed not selected, no write enable latched, not busy), the flash holds "
            "what the cut left\n";
    text += "flash-from <file>: the device powers up with the file as its flash, from address 0\n";
    text += "frames: any, control:<code>";
    for (FrameKind kind : StrikableFrameKinds()) {
        text += std::string(", ") + FrameKindWord(kind);
    }
    return text + "\n";
}

void AttachScenarioDevices(const Scenario& scenario, EmulatedBridge& bridge) {
    for (const DeviceConfig& device : scenario.devices) {
        bridge.Attach(device);
    }
    bridge.SetCountFails(scenario.countFails);
}

bool WriteScenarioOutputs(const ScenarioOutputs& outputs, EmulatedBridge& bridge) {
    if (!NamesUnits(outputs)) {
        return WriteOutputsOf(outputs, bridge, 0, std::nullopt);
    }
    // Each device that this program opened writes its own files, so that several programs, each
    // updating its unit of the same scenario, never write over one another's.
    bool written = true;
    for (std::uint32_t index = 0; index < bridge.DeviceCount(); ++index) {
        if (bridge.Device(index).OpenCount() > 0) {
            written &= WriteOutputsOf(ForUnit(outputs, index), bridge, index, index);
        }
    }
    return written;
}

}  // namespace quorvanex::emulator
