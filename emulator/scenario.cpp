#include "emulator/scenario.h"

#include <cstdio>
#include <map>
#include <optional>
#include <sstream>

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

std::optional<ExchangeFault> ExchangeFaultNamed(const std::string& name) {
    static const std::map<std::string, ExchangeFault> faults = {
        {"write-fails", ExchangeFault::WriteFails},
        {"write-fails-after-delivery", ExchangeFault::WriteFailsAfterDelivery},
        {"queue-check-fails", ExchangeFault::QueueCheckFails},
        {"read-fails", ExchangeFault::ReadFails},
        {"no-reply", ExchangeFault::NoReply},
        {"wrong-reply", ExchangeFault::WrongReply},
        {"short-read", ExchangeFault::ShortRead},
        {"long-read-count", ExchangeFault::LongReadCount},
        {"scripted-reply", ExchangeFault::ScriptedReply},
        {"reply-twice", ExchangeFault::ReplyTwice},
        {"late-reply", ExchangeFault::LateReply},
    };
    const auto found = faults.find(name);
    return found == faults.end() ? std::nullopt : std::optional(found->second);
}

std::optional<FrameSelector> FramesNamed(const std::string& name) {
    static const std::map<std::string, FrameKind> kinds = {
        {"control", FrameKind::Control},          {"ready-poll", FrameKind::ReadyPoll},
        {"status-read", FrameKind::StatusRead},   {"write-enable", FrameKind::WriteEnable},
        {"sector-erase", FrameKind::SectorErase}, {"page-write", FrameKind::PageWrite},
    };
    if (name == "any") {
        return AnyFrames();
    }
    if (name.rfind("control:", 0) == 0) {
        const auto code = HexByte(name.substr(8));
        return code ? std::optional(ControlFrames(*code)) : std::nullopt;
    }
    const auto found = kinds.find(name);
    return found == kinds.end() ? std::nullopt : std::optional(FramesOfKind(found->second));
}

bool SetDeviceFault(const std::string& name, DeviceFaults& faults) {
    static const std::map<std::string, bool DeviceFaults::*> flags = {
        {"serial-fetch-fails", &DeviceFaults::serialFetchFails},
        {"product-fetch-fails", &DeviceFaults::productFetchFails},
        {"open-fails", &DeviceFaults::openFails},
        {"set-up-fails", &DeviceFaults::setUpFails},
        {"close-fails", &DeviceFaults::closeFails},
        {"status-stuck-busy", &DeviceFaults::statusStuckBusy},
        {"never-ready", &DeviceFaults::neverReady},
    };
    const auto found = flags.find(name);
    if (found == flags.end()) {
        return false;
    }
    faults.*(found->second) = true;
    return true;
}

// exchange-fault <fault> <frames> <occurrence> [<count>] [checks=N] [bytes=N] [reply=XX,..]
//                [delay-us=N]
std::optional<ExchangeFaultRule> ParseExchangeFault(std::istringstream& words) {
    std::string faultName;
    std::string framesName;
    std::string occurrenceWord;
    words >> faultName >> framesName >> occurrenceWord;
    const auto fault = ExchangeFaultNamed(faultName);
    auto frames = FramesNamed(framesName);
    const auto occurrence = Number(occurrenceWord);
    if (!fault || !frames || !occurrence || *occurrence == 0) {
        return std::nullopt;
    }
    frames->occurrence = *occurrence;
    ExchangeFaultRule rule(*fault, *frames);
    std::string word;
    while (words >> word) {
        const std::size_t equals = word.find('=');
        const std::string key = equals == std::string::npos ? "" : word.substr(0, equals);
        const std::string value = equals == std::string::npos ? word : word.substr(equals + 1);
        if (key.empty()) {
            const auto count = Number(value);
            if (!count) {
                return std::nullopt;
            }
            rule.frames.count = *count;
        } else if (key == "checks" && Number(value)) {
            rule.failingChecks = *Number(value);
        } else if (key == "bytes" && Number(value)) {
            rule.bytesDelivered = *Number(value);
        } else if (key == "delay-us" && Number(value)) {
            rule.delayMicroseconds = *Number(value);
        } else if (key == "reply") {
            std::istringstream bytes(value);
            std::string byteWord;
            while (std::getline(bytes, byteWord, ',')) {
                const auto byte = HexByte(byteWord);
                if (!byte) {
                    return std::nullopt;
                }
                rule.replyBytes.push_back(*byte);
            }
        } else {
            return std::nullopt;
        }
    }
    return rule;
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

const char* KindName(FrameKind kind) {
    switch (kind) {
        case FrameKind::Control:
            return "control";
        case FrameKind::ReadyPoll:
            return "ready-poll";
        case FrameKind::StatusRead:
            return "status-read";
        case FrameKind::WriteEnable:
            return "write-enable";
        case FrameKind::SectorErase:
            return "sector-erase";
        case FrameKind::PageWrite:
            return "page-write";
        case FrameKind::Malformed:
            break;
    }
    return "malformed";
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

std::string Summary(const ScenarioOutputs& outputs, EmulatedBridge& bridge) {
    static const char* const kOperationNames[kBridgeOperationCount] = {
        "CountDevices", "GetDeviceString", "OpenBridgeDevice", "CloseBridgeDevice",
        "ReadReply",    "WriteFrame",      "SetUpDevice",      "CheckReceiveQueue"};
    std::ostringstream summary;
    summary << "calls";
    for (std::size_t i = 0; i < kBridgeOperationCount; ++i) {
        summary << ' ' << kOperationNames[i] << '='
                << bridge.Calls(static_cast<BridgeOperation>(i));
    }
    summary << " total=" << bridge.TotalCalls() << '\n';
    for (std::uint32_t index = 0; index < bridge.DeviceCount(); ++index) {
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
            if (!outputs.snapshotPrefix.empty() && index == 0) {
                summary << " file=" << outputs.snapshotPrefix << '-' << s << ".bin";
            }
            summary << '\n';
        }
    }
    return summary.str();
}

}  // namespace

bool ParseScenario(std::string_view text, Scenario& scenario, std::string& error) {
    DeviceTimings timings;
    bool timingsSet = false;
    std::istringstream lines{std::string(text)};
    std::string line;
    int number = 0;
    const auto fail = [&](const std::string& what) {
        error = "line " + std::to_string(number) + ": " + what;
        return false;
    };
    while (std::getline(lines, line)) {
        ++number;
        if (const std::size_t comment = line.find('#'); comment != std::string::npos) {
            line.erase(comment);
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::istringstream words(line);
        std::string keyword;
        if (!(words >> keyword)) {
            continue;
        }
        std::string argument;
        std::getline(words >> std::ws, argument);
        while (!argument.empty() && argument.back() == ' ') {
            argument.pop_back();
        }
        std::istringstream argumentWords(argument);
        DeviceConfig* device = scenario.devices.empty() ? nullptr : &scenario.devices.back();

        static const std::map<std::string, std::uint32_t DeviceTimings::*> timingKeys = {
            {"reply-latency-us", &DeviceTimings::replyLatencyMicroseconds},
            {"page-program-us", &DeviceTimings::pageProgramMicroseconds},
            {"sector-erase-us", &DeviceTimings::sectorEraseMicroseconds},
            {"write-active-busy-us", &DeviceTimings::writeActiveBusyMicroseconds},
        };
        if (keyword == "device") {
            if (argument.empty()) {
                return fail("device needs a serial");
            }
            DeviceConfig config;
            config.serial = argument;
            scenario.devices.push_back(config);
        } else if (keyword == "product") {
            if (device == nullptr) {
                return fail("product before any device");
            }
            device->product = argument;
        } else if (const auto timing = timingKeys.find(keyword); timing != timingKeys.end()) {
            const auto value = Number(argument);
            if (!value) {
                return fail(keyword + " needs a whole number of microseconds");
            }
            timings.*(timing->second) = *value;
            timingsSet = true;
        } else if (keyword == "fault") {
            if (device == nullptr || !SetDeviceFault(argument, device->faults)) {
                return fail("unknown fault or no device: " + argument);
            }
        } else if (keyword == "count-fails") {
            scenario.countFails = true;
        } else if (keyword == "exchange-fault") {
            const auto rule = ParseExchangeFault(argumentWords);
            if (device == nullptr || !rule) {
                return fail("cannot read exchange-fault " + argument);
            }
            device->faults.exchanges.push_back(*rule);
        } else if (keyword == "output-flash") {
            scenario.outputs.flashPath = argument;
        } else if (keyword == "output-snapshots") {
            scenario.outputs.snapshotPrefix = argument;
        } else if (keyword == "output-trace") {
            scenario.outputs.tracePath = argument;
        } else if (keyword == "output-summary") {
            scenario.outputs.summaryPath = argument;
        } else {
            return fail("unknown statement " + keyword);
        }
    }
    if (timingsSet) {
        for (DeviceConfig& device : scenario.devices) {
            device.timings = timings;
        }
    }
    return true;
}

void AttachScenarioDevices(const Scenario& scenario, EmulatedBridge& bridge) {
    for (const DeviceConfig& device : scenario.devices) {
        bridge.Attach(device);
    }
    bridge.SetCountFails(scenario.countFails);
}

bool WriteScenarioOutputs(const ScenarioOutputs& outputs, EmulatedBridge& bridge) {
    bool written = true;
    if (!outputs.flashPath.empty() && bridge.DeviceCount() > 0) {
        const auto& contents = bridge.Device(0).Flash().Contents();
        written &= WriteBytes(outputs.flashPath, contents.data(), contents.size());
    }
    if (!outputs.snapshotPrefix.empty() && bridge.DeviceCount() > 0) {
        const auto& snapshots = bridge.Device(0).DeviceLoader().Snapshots();
        for (std::size_t s = 0; s < snapshots.size(); ++s) {
            written &= WriteBytes(outputs.snapshotPrefix + "-" + std::to_string(s) + ".bin",
                                  snapshots[s].bytes.data(), snapshots[s].bytes.size());
        }
    }
    if (!outputs.tracePath.empty()) {
        std::string trace;
        for (const TraceEntry& entry : bridge.DeviceTrace()) {
            trace += std::to_string(entry.timeMicroseconds) + ' ' + std::to_string(entry.device) +
                     (entry.direction == TraceDirection::Frame ? " frame " : " reply ") +
                     KindName(entry.kind) + ' ' + Hex(entry.bytes) + '\n';
        }
        written &= WriteText(outputs.tracePath, trace);
    }
    if (!outputs.summaryPath.empty()) {
        written &= WriteText(outputs.summaryPath, Summary(outputs, bridge));
    }
    return written;
}

}  // namespace quorvanex::emulator
