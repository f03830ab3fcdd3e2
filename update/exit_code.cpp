#include "update/exit_code.h"

#include <atomic>

namespace quorvanex {
namespace {

// Written by the worker's thread, read by the main thread.
std::atomic<int> recordedExitCode{0};
std::atomic<bool> exitCodeRecorded{false};

}  // namespace

void RecordFatalExitCode(int exitCode) {
    recordedExitCode = exitCode;
    exitCodeRecorded = true;
}

int ProgramExitCode(int normalExitCode) {
    return exitCodeRecorded ? recordedExitCode.load() : normalExitCode;
}

void ClearRecordedExitCode() {
    exitCodeRecorded = false;
}

}  // namespace quorvanex
