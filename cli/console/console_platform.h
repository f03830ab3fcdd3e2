// What the command line needs from the platform: standard output and standard error as UTF-8
// text, whether the output is a terminal, the current folder, and the operator's requests to stop.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quorvanex::cli {

bool OutputIsTerminal();
// What was asked for: events, tables, sums. False when it could not be written (a full disk, a
// closed pipe): the failure is kept, and told at the command's end.
bool WriteOutput(const std::string& utf8);
// Whether a write to standard output has failed since the last call; the command line asks as its
// command begins and as it ends.
bool TakeOutputFailure();
// Errors, refusals, the usage and the warnings of a stop: never mixed into what was asked for.
void WriteError(const std::string& utf8);
// On a terminal: back to the start of the line this many lines up, to write them again.
void MoveUpLines(std::size_t lines);
bool ChangeCurrentFolder(const std::string& utf8);
// The path taken from the current folder, as every command line takes a relative path; a path
// that is absolute already comes back as it is. Nothing when the current folder's own path cannot
// be read (it was taken away, or a folder above it cannot be read).
std::optional<std::string> AbsolutePath(const std::string& utf8);
// Everything the standard input holds, up to its end.
std::string ReadStandardInput();

// The operator's requests to stop the program: Ctrl-C and Ctrl-Break, and the console window
// closing (on a POSIX system SIGINT, and SIGTERM or SIGHUP). From the first call of
// WatchStopRequests on, none of them ends the program by itself: the command counts them and
// decides. A closing console or a terminated program counts as two, since it will not wait.
void WatchStopRequests();
unsigned StopRequests();
// The console window is closing (or the user logging off, or Windows shutting down): the system
// ends the program a few seconds later whatever it does. Never on a POSIX system, whose hang-up
// and SIGTERM count as requests alone.
bool ConsoleClosing();
// Called as the program ends after a request: a closing console waits for this (a few seconds at
// most) so that the records are written before the system ends the program.
void StopRequestsAnswered();

}  // namespace quorvanex::cli
