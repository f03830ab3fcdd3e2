// Faults that a test or a scenario chooses for one emulated device. Each kind of fault is one row
// of the tables below: its name in the code, the word that scenarios use, and what it does. A new
// kind is a row here and its effect in emulator/emulated_bridge.cpp; the scenario language, its
// help text and the fault enum follow from the row.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "emulator/loader.h"

namespace quorvanex::emulator {

// Faults of one device as a whole: name, scenario word (after "fault"), what it does.
#define QUORVANEX_DEVICE_FAULTS(X)                                                            \
    X(serialFetchFails, "serial-fetch-fails", "the serial string cannot be fetched")          \
    X(productFetchFails, "product-fetch-fails", "the product string cannot be fetched")       \
    X(openFails, "open-fails", "the device cannot be opened")                                 \
    X(setUpFails, "set-up-fails", "the set-up call after the open fails")                     \
    X(closeFails, "close-fails", "closing reports failure (the handle is gone all the same)") \
    X(statusStuckBusy, "status-stuck-busy", "the flash stays busy for good after an erase")   \
    X(neverReady, "never-ready", "the ready poll never reports ready")                        \
    X(harshFlash, "harsh-flash",                                                              \
      "an erase cut by a power loss leaves its whole sector in unknown bits, a page program " \
      "a random part of the bits it clears (pseudo-random, the same in every run)")

// Faults of single exchanges: name, scenario word (after "exchange-fault"), the word of the
// number it takes (empty: none), that number when a rule leaves it out, what it does.
#define QUORVANEX_EXCHANGE_FAULTS(X)                                                               \
    X(WriteFails, "write-fails", "", 0,                                                            \
      "the write reports failure; the frame never reaches the device")                             \
    X(WriteFailsAfterDelivery, "write-fails-after-delivery", "", 0,                                \
      "the write reports failure, yet the device got the frame")                                   \
    X(QueueCheckFails, "queue-check-fails", "checks", 1,                                           \
      "the next queue checks report failure, checks of them")                                      \
    X(ReadFails, "read-fails", "", 0, "the read reports failure and the reply is lost")            \
    X(ReadFailsAfterFilling, "read-fails-after-filling", "reply", 0,                               \
      "the read writes the bytes given into the caller's buffer, as reply=D7, then reports "       \
      "failure; the reply is lost")                                                                \
    X(NoReply, "no-reply", "", 0, "the frame is lost on its way: not carried out, never answered") \
    X(WrongReply, "wrong-reply", "", 0,                                                            \
      "the loader rejects the frame: not carried out, every reply byte inverted")                  \
    X(ShortRead, "short-read", "bytes", 0, "only bytes reply bytes arrive; the rest is lost")      \
    X(LongReadCount, "long-read-count", "", 0,                                                     \
      "the read reports one byte more than asked (the buffer is not overrun)")                     \
    X(ScriptedReply, "scripted-reply", "reply", 0,                                                 \
      "the frame is carried out, and the reply is the bytes given, as reply=DA,01")                \
    X(ReplyTwice, "reply-twice", "", 0,                                                            \
      "the frame is carried out, and its reply arrives twice, one after the other")                \
    X(LateReply, "late-reply", "delay-us", 2500000,                                                \
      "the frame is carried out, and its reply comes delay-us late: by default half a second "     \
      "after the host has stopped waiting for it")

// When the device loses its power, by the frame that the cut is tied to: name, scenario word (the
// moment word of "power-cut"), what happens. From the cut on the device answers nothing (the USB
// bridge chip, powered by the PC, still takes the host's frames); its flash keeps exactly what it
// held. A flash operation cut in its course keeps the part it had done, in the order a serial
// flash does it: an erase clears its sector 4 KiB after 4 KiB from the start, a page program
// programs its bytes in order (with the fault harsh-flash: unknown bits instead). A supply that
// dips and comes back (a loose jack, a hub that browns out) is a cut with the power back after a
// while (kPowerBackWord): the loader starts afresh as at power-up, and the flash holds what the
// cut left.
#define QUORVANEX_POWER_CUTS(X)                                                              \
    X(Before, "before", "as the frame is sent: it never reaches the device")                 \
    X(During, "during",                                                                      \
      "halfway through the frame's erase or page program (half its sector erased, half its " \
      "bytes programmed); the frame is never answered")                                      \
    X(After, "after",                                                                        \
      "as the frame's reply leaves: a page is programmed whole, an erase has only begun")

enum class PowerCutMoment {
#define QUORVANEX_POWER_CUT_VALUE(name, word, description) name,
    QUORVANEX_POWER_CUTS(QUORVANEX_POWER_CUT_VALUE)
#undef QUORVANEX_POWER_CUT_VALUE
};

// The moment's word, as scenarios and the power-cut map write it.
constexpr const char* PowerCutMomentWord(PowerCutMoment moment) {
    switch (moment) {
#define QUORVANEX_POWER_CUT_WORD(name, word, description) \
    case PowerCutMoment::name:                            \
        return word;
        QUORVANEX_POWER_CUTS(QUORVANEX_POWER_CUT_WORD)
#undef QUORVANEX_POWER_CUT_WORD
    }
    return "";
}

enum class ExchangeFault {
#define QUORVANEX_EXCHANGE_FAULT_VALUE(name, word, parameter, fallback, description) name,
    QUORVANEX_EXCHANGE_FAULTS(QUORVANEX_EXCHANGE_FAULT_VALUE)
#undef QUORVANEX_EXCHANGE_FAULT_VALUE
};

// Which frames a fault strikes: the occurrence-th frame of a kind (1 for the first), and the
// count frames of that kind from there on (0: every one from there on, as when the device
// vanishes). kind empty: frames of any kind; controlCode: only control frames with that code.
struct FrameSelector {
    std::optional<FrameKind> kind;
    std::optional<std::uint8_t> controlCode;
    std::uint32_t occurrence = 1;
    std::uint32_t count = 1;
};

struct ExchangeFaultRule {
    ExchangeFault fault = ExchangeFault::WriteFails;
    FrameSelector frames;
    std::uint32_t amount = 0;              // the number the fault takes, as its row says
    std::vector<std::uint8_t> replyBytes;  // the bytes of a fault whose number is a reply
};

// The word of a power cut's dip, as "power-cut sector-erase 3 after back-after-ms=1500".
inline constexpr const char* kPowerBackWord = "back-after-ms";

// The power of the device lost at the frame that the selector picks (its count is not used), and
// back after a dip of so many milliseconds, or never.
struct PowerCut {
    FrameSelector frames;
    PowerCutMoment moment = PowerCutMoment::Before;
    std::optional<std::uint32_t> backAfterMilliseconds;
};

struct DeviceFaults {
#define QUORVANEX_DEVICE_FAULT_MEMBER(name, word, description) bool name = false;
    QUORVANEX_DEVICE_FAULTS(QUORVANEX_DEVICE_FAULT_MEMBER)
#undef QUORVANEX_DEVICE_FAULT_MEMBER
    std::vector<ExchangeFaultRule> exchanges;
    std::optional<PowerCut> powerCut;
};

// What the faults that strike one frame have in store for its exchange: decided once, when the
// frame is written, and taken by the write, the queue checks and the read in turn.
struct ExchangePlan {
    bool delivered = true;  // the frame reaches the device
    bool writeReportsFailure = false;
    bool answered = true;    // the device answers at all
    bool carriedOut = true;  // the loader carries the frame out
    bool repliesInverted = false;
    int replyCopies = 1;
    std::uint64_t replyDelayMicroseconds = 0;
    const std::vector<std::uint8_t>* scriptedReply = nullptr;
    std::uint32_t failingChecks = 0;
    bool readFails = false;
    // Written into the caller's buffer by a read that then fails.
    const std::vector<std::uint8_t>* failedReadLeaves = nullptr;
    std::optional<std::uint32_t> bytesDelivered;
    bool longReadCount = false;
};

}  // namespace quorvanex::emulator
