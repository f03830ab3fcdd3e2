// The command line's own work: the words parsed, the files named taken from the current folder,
// the image folder entered, the command run, and its output judged.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"

namespace quorvanex::cli {

// The command line's own work, given the words after the program's name; returns the exit code.
int RunCommandLine(const std::vector<std::string>& words);

// The files named by the options taken from the current folder, before the command moves to the
// image folder, as every command line takes a relative path; nothing when the current folder's
// path cannot be read, which has been told: a relative name is never taken from another folder.
std::optional<Arguments> WithAbsolutePaths(Arguments arguments);

// Makes the image folder the current one; false when it cannot, which has been told.
bool EnterImageFolder(const Arguments& arguments);

}  // namespace quorvanex::cli
