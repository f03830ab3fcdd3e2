#include "protocol/control_commands.h"

#include "link/command_exchange.h"
#include "seam/operator_services.h"

namespace quorvanex {
namespace {

constexpr std::uint8_t kSpeedSelect = 0xD5;
constexpr std::uint8_t kReadyPoll = 0xDA;
constexpr std::uint8_t kReady = 0x01;
constexpr std::uint16_t kReadyAttempts = 2000;
// Between two ready polls; 2000 of them give the device about 20 s to report ready.
constexpr std::uint32_t kReadyPauseMilliseconds = 10;

// The attempts that the ready poll has left; set afresh by every call.
std::uint16_t ReadyAttemptCount = kReadyAttempts;

struct StatusText {
    const wchar_t* words;
    int length;
};

// The status line painted before a code is sent; null words for a code without one.
StatusText StatusTextFor(std::uint8_t code) {
    switch (code) {
        case kSpeedSelect:
            return {L"Spi speed = 12 MHz", 34};
        case kFpgaNormal:
            return {L"FPGA normal", 40};
        case kFpgaResetActive:
            return {L"FPGA reset active", 33};
        case kFpgaWriteActive:
            return {L"Write active, please wait...", 34};
        case kFpgaUpdateProcess:
            return {L"Update process, please wait", 34};
        case kFpgaUpdateOk:
            return {L"Update ok...", 34};
        default:
            return {nullptr, 0};
    }
}

struct EchoCommand {
    StatusText retransmitLine;
    const wchar_t* failureNotice;
};

// Sends 0x01 0x01 C and wants C echoed; a wrong echo gets one retransmit, without a pause.
bool SendEchoCommand(std::uint8_t code, const EchoCommand& command) {
    const std::uint8_t frame[] = {0x01, 0x01, code};
    const StatusText line = StatusTextFor(code);
    if (line.words != nullptr) {
        ShowPaddedStatusLine(line.words, line.length, 10);
    }
    // The reply is set to anything but the echo before every exchange, so that an exchange that
    // read nothing can never pass on an earlier byte.
    std::uint8_t reply = static_cast<std::uint8_t>(~code);
    bool exchanged = ExchangeFrame(&reply, frame, 1, sizeof frame);
    if (reply != code) {
        reply = static_cast<std::uint8_t>(~code);
        exchanged = ExchangeFrame(&reply, frame, 1, sizeof frame);
        ShowPaddedStatusLine(command.retransmitLine.words, command.retransmitLine.length, 10);
    }
    if (exchanged && reply == code) {
        return true;
    }
    ShowNotice(command.failureNotice, kCriticalErrorCaption, NoticeIcon::Warning);
    return false;
}

}  // namespace

bool SelectSpiSpeed() {
    static const EchoCommand speedSelect = {{L"Select Speed error:  retransmit...", 38},
                                            L"ERROR Selecting Speed!"};
    return SendEchoCommand(kSpeedSelect, speedSelect);
}

bool SetFpgaState(FpgaStateCode code) {
    static const EchoCommand stateCommand = {{L"Reset FPGA error:  retransmit...", 47},
                                             L"ERROR Resetting FPGA!"};
    return SendEchoCommand(code, stateCommand);
}

bool WaitDeviceReady() {
    const std::uint8_t frame[] = {0x01, 0x01, kReadyPoll};
    ReadyAttemptCount = kReadyAttempts;
    do {
        // Not ready until this attempt's own reply says so.
        std::uint8_t reply[2] = {0x00, 0x00};
        if (ExchangeFrame(reply, frame, sizeof reply, sizeof frame) && reply[0] == kReadyPoll &&
            reply[1] == kReady) {
            return true;
        }
        Pause(kReadyPauseMilliseconds);
        --ReadyAttemptCount;
    } while (ReadyAttemptCount != 0);
    return false;
}

}  // namespace quorvanex
