#include "update/exit_code.h"

#include <atomic>

namespace quorvanex {
namespace {

// Written by the worker's thread, read by the main thread; 0 while no stop is recorded.
std::atomic<std::uint8_t> recordedFatalCode{0};

}  // namespace

void RecordFatalStop(std::uint8_t fatalCode) {
    recordedFatalCode = fatalCode;
}

int ProgramExitCode(int normalExitCode) {
    return recordedFatalCode != 0 ? kFatalExitCode : normalExitCode;
}

std::optional<std::uint8_t> RecordedFatalCode() {
    const std::uint8_t code = recordedFatalCode;
    return code != 0 ? std::optional(code) : std::nullopt;
}

void ClearRecordedExitCode() {
    recordedFatalCode = 0;
}

}  // namespace quorvanex
