// The outputs that a scenario names, written from the emulated bridge: each device's flash and
// snapshots, the trace of the frames and replies, and a summary of the calls and of each device.
#include <cstdio>
#include <sstream>
#include <string_view>

#include "emulator/scenario.h"

namespace quorvanex::emulator {
namespace {

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

}  // namespace

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
