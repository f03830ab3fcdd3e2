// The command line's words: a command, an optional folder, and the options of that command.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvanex::cli {

enum class Command { Check, Devices, Update, Rehearse, Help };

struct Arguments {
    Command command = Command::Help;
    std::string folder;  // where the image files are; empty: the current folder
    std::optional<std::uint32_t> device;
    bool json = false;
    bool sums = false;       // check: the SHA-256 lines of the set
    bool allUnits = false;   // update: every attached QUORVANEX, each in a process of its own
    std::string recordFile;  // "-": the record as a JSON event on standard output
    std::string expectFile;  // update: the approved SHA-256 lines the set must match
    std::optional<std::uint32_t> latencyMicroseconds;
    std::string scenarioFile;
};

// What the program prints for "help" and after a usage error.
extern const char* const kUsage;

// The arguments, or nothing with what is wrong in problem.
std::optional<Arguments> ParseArguments(const std::vector<std::string>& words,
                                        std::string& problem);

}  // namespace quorvanex::cli
