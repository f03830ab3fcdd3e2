#include "emulator/scenario_faults.h"

#include <sstream>
#include <string_view>

#include "emulator/scenario.h"

namespace quorvanex::emulator {
namespace {

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
        const auto count = ScenarioNumber(word);
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
    const auto amount = ScenarioNumber(value);
    rule.amount = amount.value_or(0);
    return amount.has_value();
}

}  // namespace

std::optional<std::uint32_t> ScenarioNumber(const std::string& word) {
    if (word.empty() || word.find_first_not_of("0123456789") != std::string::npos ||
        word.size() > 9) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(std::stoul(word));
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
    const auto occurrence = ScenarioNumber(occurrenceWord);
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
    const auto occurrence = ScenarioNumber(occurrenceWord);
    const PowerCutRow* row = RowNamed(kPowerCutRows, momentWord);
    if (!frames || !occurrence || *occurrence == 0 || row == nullptr || (words >> extra)) {
        return std::nullopt;
    }
    PowerCut cut{*frames, row->moment, std::nullopt};
    cut.frames.occurrence = *occurrence;
    if (!dipWord.empty()) {
        const std::string key = std::string(kPowerBackWord) + "=";
        const auto dip =
            dipWord.rfind(key, 0) == 0 ? ScenarioNumber(dipWord.substr(key.size())) : std::nullopt;
        if (!dip) {
            return std::nullopt;
        }
        cut.backAfterMilliseconds = *dip;
    }
    return cut;
}

bool DeviceFaults::*DeviceFaultNamed(const std::string& word) {
    const DeviceFaultRow* row = RowNamed(kDeviceFaultRows, word);
    return row != nullptr ? row->flag : nullptr;
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

}  // namespace quorvanex::emulator
