#include "protocol/control_commands.h"

#include <iterator>

#include "link/command_exchange.h"
#include "protocol/protocol_texts.h"
#include "seam/operator_services.h"
#include "seam/program_clock.h"

namespace quorvanex {
namespace {

constexpr std::uint16_t kReadyAttempts = 2000;
// Between two ready polls: the device is not asked again at once while it takes the image, and
// all the attempts together give it some 20 s to report ready.
constexpr std::uint32_t kReadyPauseMilliseconds = 10;

// The attempts that the ready poll has left; set afresh by every call.
std::uint16_t readyAttemptCount = kReadyAttempts;

// Every command that the loader echoes has exactly one line, and every line belongs to one.
constexpr bool EachEchoedCommandHasOneLine() {
    for (const std::uint8_t code : kEchoedControlCodes) {
        int rows = 0;
        for (const ControlCommandLine& command : kControlCommandLines) {
            rows += command.code == code ? 1 : 0;
        }
        if (rows != 1) {
            return false;
        }
    }
    return std::size(kControlCommandLines) == std::size(kEchoedControlCodes);
}
static_assert(EachEchoedCommandHasOneLine(), "one status line for each echoed control command");

// The status line painted before a code is sent; nullptr for a code without one.
const StatusText* StatusTextFor(std::uint8_t code) {
    for (const ControlCommandLine& command : kControlCommandLines) {
        if (command.code == code) {
            return &command.line;
        }
    }
    return nullptr;
}

struct EchoCommand {
    const StatusText& retransmitLine;
    const NoticeText& failureNotice;
};

// Sends 0x01 0x01 C and wants C echoed; a wrong echo gets one retransmit, without a pause.
bool SendEchoCommand(std::uint8_t code, const EchoCommand& command) {
    const std::uint8_t frame[] = {kControlPrefix, kControlPrefix, code};
    if (const StatusText* line = StatusTextFor(code)) {
        ShowStatusText(*line);
    }
    // The reply is set to anything but the echo before every exchange, so that an exchange that
    // read nothing can never pass on an earlier byte.
    std::uint8_t reply = static_cast<std::uint8_t>(~code);
    bool exchanged = ExchangeFrame(&reply, frame, 1, sizeof frame);
    if (reply != code) {
        reply = static_cast<std::uint8_t>(~code);
        exchanged = ExchangeFrame(&reply, frame, 1, sizeof frame);
        ShowStatusText(command.retransmitLine);
    }
    if (exchanged && reply == code) {
        return true;
    }
    ShowNotice(command.failureNotice);
    return false;
}

}  // namespace

bool SelectSpiSpeed() {
    return SendEchoCommand(kSpeedSelect, {kSpeedRetransmitLine, kSpeedSelectFailed});
}

bool SetFpgaState(FpgaStateCode code) {
    return SendEchoCommand(code, {kStateRetransmitLine, kStateCommandFailed});
}

std::uint16_t ReadyAttemptCount() {
    return readyAttemptCount;
}

bool WaitDeviceReady() {
    const std::uint8_t frame[] = {kControlPrefix, kControlPrefix, kReadyPoll};
    readyAttemptCount = kReadyAttempts;
    do {
        // Not ready until this attempt's own reply says so.
        std::uint8_t reply[2] = {0x00, 0x00};
        if (ExchangeFrame(reply, frame, sizeof reply, sizeof frame) && reply[0] == kReadyPoll &&
            reply[1] == kReady) {
            return true;
        }
        Pause(kReadyPauseMilliseconds);
        --readyAttemptCount;
    } while (readyAttemptCount != 0);
    return false;
}

}  // namespace quorvanex
