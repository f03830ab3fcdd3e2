// The process's exit code. The fatal stop records 1 here before it closes the main window; the
// program's normal way out, which that close sets in motion and which would end with 0, asks here
// and ends with 1 as well, so neither way out can overtake the other with the wrong code.
#pragma once

namespace quorvanex {

void RecordFatalExitCode(int exitCode);
// The recorded code when there is one, otherwise the normal one.
int ProgramExitCode(int normalExitCode);
// For tests that stand for a fresh process.
void ClearRecordedExitCode();

}  // namespace quorvanex
