#include "emulator/trace.h"

namespace quorvanex::emulator {

std::vector<TraceEntry> FramesOf(const Trace& trace) {
    std::vector<TraceEntry> frames;
    for (const TraceEntry& entry : trace) {
        if (entry.direction == TraceDirection::Frame) {
            frames.push_back(entry);
        }
    }
    return frames;
}

std::vector<std::uint8_t> ControlCodesSent(const Trace& trace) {
    std::vector<std::uint8_t> codes;
    for (const TraceEntry& entry : trace) {
        if (entry.direction == TraceDirection::Frame && entry.kind == FrameKind::Control) {
            codes.push_back(entry.bytes[2]);
        }
    }
    return codes;
}

}  // namespace quorvanex::emulator
