// What the command line needs from the platform: standard output as UTF-8 text, whether it is a
// terminal, and a change of the current folder, where the image files are read.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quorvanex::cli {

bool OutputIsTerminal();
void WriteOutput(const std::string& utf8);
// On a terminal: back to the start of the line this many lines up, to write them again.
void MoveUpLines(std::size_t lines);
bool ChangeCurrentFolder(const std::string& utf8);

// The command line's own work, given the words after the program's name; returns the exit code.
int RunCommandLine(const std::vector<std::string>& words);

}  // namespace quorvanex::cli
