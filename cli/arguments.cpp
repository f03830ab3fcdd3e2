#include "cli/arguments.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace quorvanex::cli {
namespace {

struct CommandSyntax {
    Command command;
    bool takesFolder;
    std::vector<std::string> options;  // those that take a value end in '='
};

const std::map<std::string, CommandSyntax>& Commands() {
    static const std::map<std::string, CommandSyntax> commands = {
        {"check", {Command::Check, true, {"--json", "--sums"}}},
        {"devices", {Command::Devices, false, {"--json"}}},
        {"update",
         {Command::Update, true, {"--device=", "--all", "--json", "--record=", "--expect="}}},
        {"rehearse", {Command::Rehearse, true, {"--latency=", "--scenario=", "--json"}}},
        {"help", {Command::Help, false, {}}},
    };
    return commands;
}

std::optional<std::uint32_t> WholeNumber(const std::string& word) {
    if (word.empty() || word.size() > 9 ||
        word.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(std::strtoul(word.c_str(), nullptr, 10));
}

// Milliseconds, whole or with decimals ("0.125"), as microseconds.
std::optional<std::uint32_t> Milliseconds(const std::string& word) {
    char* end = nullptr;
    const double milliseconds = std::strtod(word.c_str(), &end);
    if (word.empty() || *end != '\0' || !(milliseconds >= 0) || milliseconds > 60000) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(milliseconds * 1000 + 0.5);
}

// One option and its value; false with the problem written when either is wrong.
bool ReadOption(const std::string& option, const std::string& value, Arguments& arguments,
                std::string& problem) {
    if (option == "--json") {
        arguments.json = true;
    } else if (option == "--sums") {
        arguments.sums = true;
    } else if (option == "--all") {
        arguments.allUnits = true;
    } else if (option == "--expect") {
        arguments.expectFile = value;
    } else if (option == "--record") {
        arguments.recordFile = value;
    } else if (option == "--scenario") {
        arguments.scenarioFile = value;
    } else if (option == "--device") {
        arguments.device = WholeNumber(value);
        if (!arguments.device) {
            problem = "--device takes a device index, as 'devices' lists them: " + value;
        }
    } else if (option == "--latency") {
        arguments.latencyMicroseconds = Milliseconds(value);
        if (!arguments.latencyMicroseconds) {
            problem = "--latency takes milliseconds, as 1 or 0.125: " + value;
        }
    }
    return problem.empty();
}

}  // namespace

const char* const kUsage =
    "Usage: quorvanex-cli COMMAND [FOLDER] [OPTIONS]\n"
    "\n"
    "  check [FOLDER] [--json]        look at the image files in FOLDER (default: the current\n"
    "                                 folder); touches no device\n"
    "  check [FOLDER] --sums          the SHA-256 lines of the files the update writes, as in\n"
    "                                 the release's SHA256SUMS: the approved set for --expect\n"
    "  devices [--json]               list the devices that the USB bridge sees\n"
    "  update [FOLDER] [--device N] [--json] [--record FILE] [--expect SUMS]\n"
    "                                 update one QUORVANEX with the image files in FOLDER;\n"
    "                                 --record - writes the record as a JSON event\n"
    "  update [FOLDER] --all [--json] [--record FILE] [--expect SUMS]\n"
    "                                 update every attached QUORVANEX at once, each in a process\n"
    "                                 of its own; --expect refuses a set unlike SUMS line for "
    "line\n"
    "  rehearse [FOLDER] [--latency MS] [--scenario FILE] [--json]\n"
    "                                 the whole update against the built-in emulator; predicts\n"
    "                                 how long the real one takes at that reply latency\n"
    "  help                           this text\n"
    "\n"
    "Exit codes: 0 done; 2 usage; 3 image set refused; 4 no QUORVANEX, several without --device,\n"
    "the device busy or the bridge library missing; 5 a rehearsal whose flash does not hold the\n"
    "images; 6 update --all: a unit was not updated (each is named); 10 + the fatal code after a\n"
    "fatal stop (11, 15, 16, 17).\n";

std::optional<Arguments> ParseArguments(const std::vector<std::string>& words,
                                        std::string& problem) {
    if (words.empty()) {
        problem = "no command given";
        return std::nullopt;
    }
    const auto found = Commands().find(words[0]);
    if (found == Commands().end()) {
        problem = "unknown command: " + words[0];
        return std::nullopt;
    }
    const CommandSyntax& syntax = found->second;
    Arguments arguments;
    arguments.command = syntax.command;
    for (std::size_t i = 1; i < words.size() && problem.empty(); ++i) {
        const std::string& word = words[i];
        if (word.rfind("--", 0) != 0) {
            if (!syntax.takesFolder || !arguments.folder.empty()) {
                problem = "unexpected word: " + word;
            }
            arguments.folder = word;
            continue;
        }
        const bool takesValue = std::find(syntax.options.begin(), syntax.options.end(),
                                          word + "=") != syntax.options.end();
        const bool known = takesValue || std::find(syntax.options.begin(), syntax.options.end(),
                                                   word) != syntax.options.end();
        if (!known) {
            problem = words[0] + " has no option " + word;
        } else if (takesValue && i + 1 == words.size()) {
            problem = word + " needs a value";
        } else {
            ReadOption(word, takesValue ? words[++i] : std::string(), arguments, problem);
        }
    }
    if (problem.empty() && arguments.allUnits && arguments.device) {
        problem = "--all and --device cannot go together";
    }
    return problem.empty() ? std::optional(arguments) : std::nullopt;
}

}  // namespace quorvanex::cli
