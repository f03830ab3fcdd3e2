// Refusals and errors that end a command, and the lines that explain them.
#pragma once

#include <optional>
#include <string>

#include "cli/cli_texts.h"
#include "cli/events.h"

namespace quorvanex::cli {

// A refusal or an error that ends the command: with --json an event on standard output, with the
// outcome when a unit's update ends in it; otherwise a sentence on standard error.
void Refuse(bool json, const std::string& text, std::optional<Outcome> outcome = std::nullopt);

// A file named on the command line that cannot be used: a folder, pipe or device is told as not
// a file, anything else in the command's own words.
void RefuseFile(bool json, const std::string& name, const CommandLineText<1>& unusable);

// A line of what was asked for, or of a refusal: standard output or standard error.
void WriteOutputOrRefusal(bool asRefusal, const std::string& text);

}  // namespace quorvanex::cli
