// The commands of quorvanex-cli, one row each, and the options they take: what parsing, running
// and the help read.
#include <cstdlib>
#include <iterator>

#include "cli/arguments.h"
#include "cli/cli_texts.h"
#include "cli/commands.h"
#include "cli/console/console_platform.h"
#include "cli/exit_codes.h"
#include "link/command_exchange.h"

namespace quorvanex::cli {
namespace {

enum class Value { None, Index, File, FileOrStream, Milliseconds, Word };

// An option: a flag, a text kept as it is, a whole number of at least so much (the problem told
// in its own words), or a value read by a function of its own.
struct OptionRow {
    const char* name;
    Value value;
    bool Arguments::*flag = nullptr;
    std::string Arguments::*text = nullptr;
    std::optional<std::uint32_t> Arguments::*number = nullptr;
    std::uint32_t least = 0;
    const CommandLineText<1>* numberWanted = nullptr;
    // Stores the value read; false with the problem written when it is wrong.
    bool (*read)(const std::string& value, Arguments& arguments, std::string& problem) = nullptr;
};

std::optional<std::uint32_t> WholeNumber(const std::string& word) {
    if (word.empty() || word.size() > 9 ||
        word.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(std::strtoul(word.c_str(), nullptr, 10));
}

// Milliseconds as plain decimal digits, with a fraction after one point ("1", "0.125"), as
// microseconds; nothing for anything else ("0x10", "1e3", "-1", ".5").
std::optional<std::uint32_t> Milliseconds(const std::string& word) {
    const std::size_t point = word.find('.');
    const std::string whole = word.substr(0, point);
    const std::string fraction = point == std::string::npos ? "" : word.substr(point + 1);
    const bool digits = !whole.empty() && whole.size() <= 6 &&
                        whole.find_first_not_of("0123456789") == std::string::npos &&
                        fraction.find_first_not_of("0123456789") == std::string::npos &&
                        (point == std::string::npos || !fraction.empty());
    if (!digits) {
        return std::nullopt;
    }
    const double milliseconds = std::strtod(word.c_str(), nullptr);
    return static_cast<std::uint32_t>(milliseconds * 1000 + 0.5);
}

// The options, each written here once: a command names the rows of those it takes.
constexpr OptionRow kJsonOption = {"--json", Value::None, &Arguments::json};
constexpr OptionRow kSumsOption = {"--sums", Value::None, &Arguments::sums};
constexpr OptionRow kAllOption = {"--all", Value::None, &Arguments::allUnits};
constexpr OptionRow kPowerCutsOption = {"--power-cuts", Value::None, &Arguments::powerCuts};
constexpr OptionRow kDipsOption = {"--dips", Value::None, &Arguments::dips};
constexpr OptionRow kHarshOption = {"--harsh", Value::None, &Arguments::harsh};
constexpr OptionRow kRecordOption = {"--record", Value::FileOrStream, nullptr,
                                     &Arguments::recordFile};
constexpr OptionRow kExpectOption = {"--expect", Value::FileOrStream, nullptr,
                                     &Arguments::expectFile};
constexpr OptionRow kScenarioOption = {"--scenario", Value::File, nullptr,
                                       &Arguments::scenarioFile};
constexpr OptionRow kRunOption = {"--run", Value::Word, nullptr, &Arguments::run};
constexpr OptionRow kRunIdOption = {"--run-id", Value::Word, nullptr, &Arguments::runId};
constexpr OptionRow kSinceOption = {"--since", Value::Word, nullptr, &Arguments::since};
constexpr OptionRow kUntilOption = {"--until", Value::Word, nullptr, &Arguments::until};
constexpr OptionRow kCsvOption = {"--csv", Value::File, nullptr, &Arguments::csvFile};
constexpr OptionRow kHtmlOption = {"--html", Value::File, nullptr, &Arguments::htmlFile};
constexpr OptionRow kEveryOption = {.name = "--every",
                                    .value = Value::Index,
                                    .number = &Arguments::every,
                                    .least = 1,
                                    .numberWanted = &kEveryWanted};
constexpr OptionRow kDeviceOption = {.name = "--device",
                                     .value = Value::Index,
                                     .number = &Arguments::device,
                                     .numberWanted = &kDeviceIndexWanted};
constexpr OptionRow kLatencyOption = {
    .name = "--latency",
    .value = Value::Milliseconds,
    .read = [](const std::string& value, Arguments& arguments, std::string& problem) {
        arguments.latencyMicroseconds = Milliseconds(value);
        if (!arguments.latencyMicroseconds) {
            problem = Said(kLatencyDigits, {value});
            return false;
        }
        // The program waits this long for a reply to begin, counted in whole milliseconds
        // from a tick that may be nearly one old: a reply later than a millisecond less is not
        // always seen, and with every reply that late a rehearsal could only fail.
        constexpr std::uint32_t kSlowestReplySeenMicroseconds = (kReplyWaitMilliseconds - 1) * 1000;
        if (*arguments.latencyMicroseconds > kSlowestReplySeenMicroseconds) {
            problem = Said(kLatencyTooSlow, {value, std::to_string(kReplyWaitMilliseconds - 1)});
            return false;
        }
        return true;
    }};

struct CommandRow {
    const char* name;
    bool takesFolder;
    std::vector<const OptionRow*> options;
    // The command's lines of the help.
    const char* usage;
    int (*run)(const Arguments& arguments);
    bool takesFiles = false;  // the words that are not options name files, as many as given
};

int RunHelpCommand(const Arguments&) {
    WriteOutput(UsageText());
    return kExitDone;
}

const CommandRow kCommands[] = {
    {"check",
     true,
     {&kJsonOption, &kSumsOption},
     "  check [FOLDER] [--json]        look at the image files in FOLDER (default: the current\n"
     "                                 folder); touches no device\n"
     "  check [FOLDER] --sums          the SHA-256 lines of the files the update writes, as in\n"
     "                                 the release's SHA256SUMS: the approved set for --expect\n",
     &RunCheckCommand},
    {"devices",
     false,
     {&kJsonOption},
     "  devices [--json]               list the devices that the USB bridge sees\n",
     &RunDevicesCommand},
    {"update",
     true,
     {&kDeviceOption, &kAllOption, &kJsonOption, &kRecordOption, &kExpectOption, &kRunOption,
      &kRunIdOption},
     "  update [FOLDER] [--device N] [--json] [--record FILE] [--expect SUMS]\n"
     "                                 update one QUORVANEX with the image files in FOLDER;\n"
     "                                 --record - writes the record as a JSON event, --expect -\n"
     "                                 reads the approved lines from standard input; --run NAME\n"
     "                                 names the run in the records (--run-id ID: the run's own\n"
     "                                 identity, which update --all hands each of its units)\n"
     "  update [FOLDER] --all [--json] [--record FILE] [--expect SUMS]\n"
     "                                 update every attached QUORVANEX at once, each in a process\n"
     "                                 of its own; a first Ctrl-C lets the units finish, a second\n"
     "                                 stops them\n",
     &RunUpdateCommand},
    {"rehearse",
     true,
     {&kLatencyOption, &kScenarioOption, &kJsonOption, &kPowerCutsOption, &kEveryOption,
      &kDipsOption, &kHarshOption},
     "  rehearse [FOLDER] [--latency MS] [--scenario FILE] [--json]\n"
     "                                 the whole update against the built-in emulator; predicts\n"
     "                                 how long the real one takes at that reply latency\n"
     "  rehearse [FOLDER] --power-cuts [--every N] [--dips] [--harsh] [--scenario FILE] [--json]\n"
     "                                 the update with the power cut at each point of it, and\n"
     "                                 each time the whole update again: does it restore?\n"
     "                                 --dips: each cut also with the power back after a dip;\n"
     "                                 --harsh: a cut leaves the flash in unknown bits\n",
     &RunRehearseCommand},
    {"report",
     false,
     {&kRunOption, &kSinceOption, &kUntilOption, &kCsvOption, &kHtmlOption, &kJsonOption},
     "  report RECORDS... [--run NAME] [--since TIME] [--until TIME] [--csv FILE] [--html FILE]\n"
     "         [--json]                summarise the record files of update --record: runs,\n"
     "                                 causes, seconds per unit, image sets, units an hour;\n"
     "                                 --csv: a row a record; --html: a page with pictures\n",
     &RunReportCommand,
     true},
    {"help", false, {}, "  help                           this text\n", &RunHelpCommand},
};

const CommandRow* CommandNamed(const std::string& name) {
    for (const CommandRow& command : kCommands) {
        if (name == command.name) {
            return &command;
        }
    }
    return nullptr;
}

// The option of that name that the command takes; nullptr for any other word.
const OptionRow* OptionOf(const CommandRow& command, const std::string& name) {
    for (const OptionRow* option : command.options) {
        if (name == option->name) {
            return option;
        }
    }
    return nullptr;
}

// A file's name where an option was given ("--record --json") is refused: the option would be
// taken for the file and lost.
bool ValueFits(const OptionRow& option, const std::string& value, std::string& problem) {
    const bool fileName = option.value == Value::File || option.value == Value::FileOrStream;
    if (fileName && value.rfind("--", 0) == 0) {
        problem = Said(kNeedsFileNotOption, {option.name, value});
        return false;
    }
    if (option.value == Value::File && value == kStandardStream) {
        problem = Said(kNeedsFileName, {option.name});
        return false;
    }
    if (value.empty()) {
        problem = Said(kNeedsValue, {option.name});
        return false;
    }
    return true;
}

// The option's value stored in the arguments, or the problem with it written.
void ReadValue(const OptionRow& option, const std::string& value, Arguments& arguments,
               std::string& problem) {
    if (option.text != nullptr) {
        arguments.*(option.text) = value;
    } else if (option.number != nullptr) {
        std::optional<std::uint32_t>& number = arguments.*(option.number);
        number = WholeNumber(value);
        if (!number || *number < option.least) {
            problem = Said(*option.numberWanted, {value});
        }
    } else {
        option.read(value, arguments, problem);
    }
}

// What is wrong with the options given together; empty when nothing is.
std::string OptionsApart(const Arguments& arguments) {
    if ((arguments.every || arguments.dips || arguments.harsh) && !arguments.powerCuts) {
        return Said(kEveryWithoutPowerCuts);
    }
    if (arguments.allUnits && arguments.device) {
        return Said(kAllWithDevice);
    }
    if (arguments.allUnits && arguments.expectFile == kStandardStream) {
        return Said(kExpectInputWithAll);
    }
    if (arguments.allUnits && !arguments.runId.empty()) {
        return Said(kRunIdWithAll);
    }
    // The sums are SHA256SUMS lines for sha256sum and --expect; the JSON of the files is check
    // --json.
    if (arguments.sums && arguments.json) {
        return Said(kSumsWithJson);
    }
    return {};
}

}  // namespace

std::string UsageText() {
    std::string usage = "Usage: quorvanex-cli COMMAND [FOLDER] [OPTIONS]\n\n";
    for (const CommandRow& command : kCommands) {
        usage += command.usage;
    }
    return usage + "\n" + ExitCodesParagraph();
}

std::vector<CommandOptions> CommandsAndOptions() {
    std::vector<CommandOptions> commands;
    for (const CommandRow& command : kCommands) {
        commands.push_back({command.name, {}});
        for (const OptionRow* option : command.options) {
            commands.back().options.push_back(option->name);
        }
    }
    return commands;
}

std::optional<Arguments> ParseArguments(const std::vector<std::string>& words,
                                        std::string& problem) {
    if (words.empty()) {
        problem = Said(kNoCommand);
        return std::nullopt;
    }
    const CommandRow* command = CommandNamed(words[0]);
    if (command == nullptr) {
        problem = Said(kUnknownCommand, {words[0]});
        return std::nullopt;
    }
    Arguments arguments;
    arguments.command = command->name;
    for (std::size_t i = 1; i < words.size() && problem.empty(); ++i) {
        const std::string& word = words[i];
        if (word.rfind("--", 0) != 0 && command->takesFiles) {
            arguments.files.push_back(word);
            continue;
        }
        if (word.rfind("--", 0) != 0) {
            if (!command->takesFolder || !arguments.folder.empty()) {
                problem = Said(kUnexpectedWord, {word});
            }
            arguments.folder = word;
            continue;
        }
        const OptionRow* option = OptionOf(*command, word);
        if (option == nullptr) {
            problem = Said(kNoSuchOption, {words[0], word});
        } else if (option->flag != nullptr) {
            arguments.*(option->flag) = true;
        } else if (i + 1 == words.size()) {
            problem = Said(kNeedsValue, {word});
        } else if (ValueFits(*option, words[i + 1], problem)) {
            ReadValue(*option, words[++i], arguments, problem);
        }
    }
    if (problem.empty()) {
        problem = OptionsApart(arguments);
    }
    return problem.empty() ? std::optional(arguments) : std::nullopt;
}

int RunCommand(const Arguments& arguments) {
    const CommandRow* command = CommandNamed(arguments.command);
    return command != nullptr ? command->run(arguments) : kExitUsage;
}

}  // namespace quorvanex::cli
