// Faults that a test or a scenario chooses for one emulated device.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "emulator/loader.h"

namespace quorvanex::emulator {

enum class ExchangeFault {
    WriteFails,               // the write reports failure; the frame never reaches the device
    WriteFailsAfterDelivery,  // the write reports failure, yet the device got the frame
    QueueCheckFails,          // the next queue checks report failure (failingChecks of them)
    ReadFails,                // the read reports failure and the reply is lost
    NoReply,                  // the frame is lost on its way: not carried out, never answered
    WrongReply,     // the loader rejects the frame: not carried out, every reply byte inverted
    ShortRead,      // only bytesDelivered reply bytes arrive; the rest is lost
    LongReadCount,  // the read reports one byte more than asked (the buffer is not overrun)
    ScriptedReply,  // the frame is carried out, and the reply is replyBytes instead
    ReplyTwice,     // the frame is carried out, and its reply arrives twice, one after the other
    LateReply,      // the frame is carried out, and its reply arrives delayMicroseconds late
};

// A late reply comes, unless the rule says otherwise, half a second after the host has stopped
// waiting for it (2000 ms from the end of the write).
inline constexpr std::uint32_t kDefaultReplyDelayMicroseconds = 2500000;

// Which frames a fault strikes: the occurrence-th frame of a kind (1 for the first), and the
// count frames of that kind from there on (0: every one from there on, as when the device
// vanishes). kind empty: frames of any kind; controlCode: only control frames with that code.
struct FrameSelector {
    std::optional<FrameKind> kind;
    std::optional<std::uint8_t> controlCode;
    std::uint32_t occurrence = 1;
    std::uint32_t count = 1;
};

inline FrameSelector AnyFrames(std::uint32_t occurrence = 1, std::uint32_t count = 1) {
    return {std::nullopt, std::nullopt, occurrence, count};
}
inline FrameSelector FramesOfKind(FrameKind kind, std::uint32_t occurrence = 1,
                                  std::uint32_t count = 1) {
    return {kind, std::nullopt, occurrence, count};
}
inline FrameSelector ControlFrames(std::uint8_t code, std::uint32_t occurrence = 1,
                                   std::uint32_t count = 1) {
    return {FrameKind::Control, code, occurrence, count};
}

struct ExchangeFaultRule {
    ExchangeFaultRule(ExchangeFault fault, FrameSelector frames, std::uint32_t failingChecks = 1,
                      std::uint32_t bytesDelivered = 0, std::vector<std::uint8_t> replyBytes = {},
                      std::uint32_t delayMicroseconds = kDefaultReplyDelayMicroseconds)
        : fault(fault),
          frames(frames),
          failingChecks(failingChecks),
          bytesDelivered(bytesDelivered),
          replyBytes(std::move(replyBytes)),
          delayMicroseconds(delayMicroseconds) {}

    ExchangeFault fault = ExchangeFault::WriteFails;
    FrameSelector frames;
    std::uint32_t failingChecks = 1;                                   // QueueCheckFails
    std::uint32_t bytesDelivered = 0;                                  // ShortRead
    std::vector<std::uint8_t> replyBytes;                              // ScriptedReply
    std::uint32_t delayMicroseconds = kDefaultReplyDelayMicroseconds;  // LateReply
};

struct DeviceFaults {
    bool serialFetchFails = false;
    bool productFetchFails = false;
    bool openFails = false;
    bool setUpFails = false;
    bool closeFails = false;
    bool statusStuckBusy = false;  // the write-in-progress bit never clears after an erase
    bool neverReady = false;       // the ready poll never reports ready
    std::vector<ExchangeFaultRule> exchanges;
};

}  // namespace quorvanex::emulator
