// Every frame that reached an emulated device and every reply that it sent, in order, with time.
#pragma once

#include <cstdint>
#include <vector>

#include "emulator/loader.h"

namespace quorvanex::emulator {

enum class TraceDirection { Frame, Reply };

struct TraceEntry {
    std::uint64_t timeMicroseconds = 0;
    std::uint32_t device = 0;
    TraceDirection direction = TraceDirection::Frame;
    FrameKind kind = FrameKind::Malformed;
    std::vector<std::uint8_t> bytes;
};

using Trace = std::vector<TraceEntry>;

// The frames of the trace alone, in order.
std::vector<TraceEntry> FramesOf(const Trace& trace);
// The control codes sent, in order (ready polls and pass-through frames left out).
std::vector<std::uint8_t> ControlCodesSent(const Trace& trace);

}  // namespace quorvanex::emulator
