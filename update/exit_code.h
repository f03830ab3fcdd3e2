// The process's exit code. The fatal stop records its stop here, exit code 1 and its fatal code,
// before it closes the main window; the program's normal way out, which that close sets in motion
// and which would end with 0, asks here and ends with 1 as well, so neither way out can overtake
// the other with the wrong code. The command line reads the fatal code for its own exit codes.
#pragma once

#include <cstdint>
#include <optional>

namespace quorvanex {

inline constexpr int kFatalExitCode = 1;

void RecordFatalStop(std::uint8_t fatalCode);
// The recorded code when there is one, otherwise the normal one.
int ProgramExitCode(int normalExitCode);
// The fatal code of the stop recorded, if there was one.
std::optional<std::uint8_t> RecordedFatalCode();
// For tests that stand for a fresh process.
void ClearRecordedExitCode();

}  // namespace quorvanex
