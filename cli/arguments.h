// The command line's words: a command, an optional folder, and the options of that command. Each
// command is one row of a table (cli/command_table.cpp): its name, its options, its lines of the
// help, and what runs it; parsing, running and the help all read that row.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvanex::cli {

// A file option's value that names standard input or output instead of a file.
inline constexpr const char* kStandardStream = "-";

struct Arguments {
    std::string command;
    std::string folder;  // where the image files are; empty: the current folder
    std::optional<std::uint32_t> device;
    bool json = false;
    bool sums = false;       // check: the SHA-256 lines of the set
    bool allUnits = false;   // update: every attached QUORVANEX, each in a process of its own
    std::string recordFile;  // "-": the record as a JSON event on standard output
    std::string expectFile;  // the approved SHA-256 lines the set must match; "-": read from
                             // standard input
    std::optional<std::uint32_t> latencyMicroseconds;
    std::string scenarioFile;
    bool powerCuts = false;              // rehearse: a power cut at every point, and a restore
    std::optional<std::uint32_t> every;  // rehearse --power-cuts: every this many page frames
    bool dips = false;   // rehearse --power-cuts: each point also with the power back after dips
    bool harsh = false;  // rehearse --power-cuts: a flash that a cut leaves in unknown bits
    std::string run;     // names the run in the records; made up when not given
    std::string runId;   // the run's own identity, as update --all hands it to each of its
                         // units; made up when not given
    std::vector<std::string> files;  // report: the record files to read
    std::string since;               // report: the records written from this time on
    std::string until;               // report: the records written before this time
    std::string csvFile;             // report: a row a record, to this file
    std::string htmlFile;            // report: the page, to this file
};

// The whole help: every command's lines and the exit codes.
std::string UsageText();

// Each command with the options it takes, by name: for the checks that the help and the command
// line's page name them as the command table has them.
struct CommandOptions {
    std::string command;
    std::vector<std::string> options;
};
std::vector<CommandOptions> CommandsAndOptions();

// The arguments, or nothing with what is wrong in problem. The file names are as given; the
// command makes them absolute before it changes to the image folder.
std::optional<Arguments> ParseArguments(const std::vector<std::string>& words,
                                        std::string& problem);

// Runs the command of the arguments; returns the exit code.
int RunCommand(const Arguments& arguments);

}  // namespace quorvanex::cli
