// Every text that the window program, the command line and its script for a double click show is
// explained in the operator guide, and every event of the command line's JSON, with its fields,
// and every command in the command line's page: the tests read the program's tables and look for
// each in the documents as they stand. A text, an event or a command added to a table without a
// word in the documents fails here.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "cli/arguments.h"
#include "cli/events.h"
#include "cli/exit_codes.h"
#include "documents.h"
#include "operator_guide_table.h"
#include "tests/support/text_pieces.h"
#include "tests/text/every_operator_text.h"
#include "update/fatal_stop.h"

namespace quorvanex {
namespace {

std::string Narrow(const wchar_t* text) {
    std::string narrow;
    for (; *text != L'\0'; ++text) {
        narrow += static_cast<char>(*text);
    }
    return narrow;
}

// The fixed words of a text, split where a value goes ("%ls" in the program's texts, "{}" in the
// command line's): each piece must stand in the guide.
std::vector<std::string> FixedPieces(const std::string& text, const std::string& placeholder) {
    std::vector<std::string> pieces = test_support::Split(text, placeholder);
    pieces.erase(std::remove(pieces.begin(), pieces.end(), std::string()), pieces.end());
    return pieces;
}

void ExpectInGuide(const std::string& text, const std::string& placeholder = "%ls") {
    for (const std::string& piece : FixedPieces(text, placeholder)) {
        EXPECT_NE(std::string(kOperatorGuide).find(piece), std::string::npos)
            << "the operator guide does not explain \"" << piece << "\"";
    }
}

// A text of several lines (a box's) is looked for line by line.
void ExpectInGuide(const wchar_t* text) {
    for (const std::string& line : test_support::Split(Narrow(text), "\n")) {
        ExpectInGuide(line);
    }
}

TEST(OperatorGuide, ExplainsEveryStatusLine) {
    test_support::ForEachText([](const StatusText& line) { ExpectInGuide(line.words); },
                              [](const NoticeText&) {}, [](const PathNotice&) {},
                              [](const auto*) {});
}

TEST(OperatorGuide, ExplainsEveryBoxWithItsCaption) {
    test_support::ForEachText([](const StatusText&) {},
                              [](const NoticeText& notice) {
                                  ExpectInGuide(notice.text);
                                  ExpectInGuide(notice.caption);
                              },
                              [](const PathNotice& notice) {
                                  ExpectInGuide(notice.format);
                                  ExpectInGuide(notice.caption);
                              },
                              [](const auto*) {});
}

// Visits each text with values of one kind of character (wide: the programs', narrow: the command
// line's); returns how many there were.
template <typename Char, typename Visit>
std::size_t ForEachTextWithValues(Visit visit) {
    std::size_t texts = 0;
    test_support::ForEachText([](const StatusText&) {}, [](const NoticeText&) {},
                              [](const PathNotice&) {},
                              [&](const auto* text) {
                                  if constexpr (std::is_same_v<decltype(text), const Char*>) {
                                      visit(text);
                                      ++texts;
                                  }
                              });
    return texts;
}

// The wide texts with values: why the bridge library cannot be used, the test copy's box, the
// window's question on closing.
TEST(OperatorGuide, ExplainsWhyTheBridgeLibraryCannotBeUsedAndTheTestCopysBox) {
    EXPECT_GE(ForEachTextWithValues<wchar_t>([](const wchar_t* text) { ExpectInGuide(text); }), 9u);
}

TEST(OperatorGuide, NamesEveryFileOfTheImageSet) {
    for (const wchar_t* name : kImageSetFiles) {
        ExpectInGuide(name);
    }
}

TEST(OperatorGuide, ExplainsEveryTextOfTheCommandLine) {
    EXPECT_GE(ForEachTextWithValues<char>([](const char* text) { ExpectInGuide(text, "{}"); }),
              80u);
}

// The sentences of update-every-unit.cmd: what it echoes and what it asks, each cut where a
// variable of the script goes (%units%, %~dp0).
std::vector<std::string> ScriptSentences() {
    std::vector<std::string> sentences;
    std::istringstream lines(kUpdateEveryUnitScript);
    std::string line;
    const std::regex said(R"((?:^|\s)echo (.+)$|^set /p \w+=(.+)$)");
    while (std::getline(lines, line)) {
        line.erase(line.find_last_not_of("\r ") + 1);
        std::smatch found;
        if (std::regex_search(line, found, said) && found.str(1) != "off") {
            sentences.push_back(found[1].matched ? found.str(1) : found.str(2));
        }
    }
    return sentences;
}

TEST(OperatorGuide, ExplainsEverySentenceOfTheScriptForADoubleClick) {
    const std::vector<std::string> sentences = ScriptSentences();
    EXPECT_GE(sentences.size(), 10u);
    for (const std::string& sentence : sentences) {
        const std::string fixed = std::regex_replace(sentence, std::regex("%[^%]*%|%~dp0"), "{}");
        ExpectInGuide(fixed, "{}");
    }
}

// The row of a table that begins with the name in code, or an empty text.
std::string RowNaming(const std::string& document, const std::string& name) {
    const std::size_t row = document.find("\n| `" + name + "` |");
    return row == std::string::npos ? ""
                                    : document.substr(row + 1, document.find('\n', row + 1) - row);
}

TEST(CommandLinePage, ExplainsEveryEventWithEachOfItsFields) {
    const std::string page = kCommandLinePage;
    std::size_t events = 0;
#define QUORVANEX_EVENT_ROW(name, text, fields) ++events;
    QUORVANEX_EVENTS(QUORVANEX_EVENT_ROW)
#undef QUORVANEX_EVENT_ROW
    for (std::size_t i = 0; i < events; ++i) {
        const cli::Event event = static_cast<cli::Event>(i);
        const std::string row = RowNaming(page, cli::EventName(event));
        EXPECT_FALSE(row.empty()) << "the command line's page has no row of the event "
                                  << cli::EventName(event);
        for (const char* field : cli::EventFields(event)) {
            EXPECT_NE(row.find(std::string("`") + field + "`"), std::string::npos)
                << "the row of the event " << cli::EventName(event) << " does not name " << field;
        }
    }
    // And no row for an event that the program does not write.
    const std::size_t table = page.find("| Event | When | Fields |");
    ASSERT_NE(table, std::string::npos);
    std::istringstream rows(page.substr(table));
    std::string row;
    std::getline(rows, row);
    std::getline(rows, row);
    while (std::getline(rows, row) && row.rfind("| `", 0) == 0) {
        const std::string name = row.substr(3, row.find('`', 3) - 3);
        EXPECT_TRUE(cli::EventNamed(name).has_value()) << "the page names an event " << name;
    }
}

TEST(OperatorGuide, ExplainsEveryOutcomeOfAUnit) {
    for (std::size_t i = 0; i <= static_cast<std::size_t>(cli::Outcome::Hung); ++i) {
        const std::string name = cli::OutcomeName(static_cast<cli::Outcome>(i));
        EXPECT_NE(std::string(kOperatorGuide).find("`" + name + "`"), std::string::npos)
            << "the operator guide does not explain the outcome " << name;
        EXPECT_NE(std::string(kCommandLinePage).find("`" + name + "`"), std::string::npos)
            << "the command line's page does not name the outcome " << name;
    }
}

TEST(OperatorGuide, ExplainsEveryCommandAsTheCommandLinePageDoes) {
    // The commands as the usage lists them, the first word of each of its lines of a command.
    std::istringstream usage(cli::UsageText());
    std::string line;
    std::vector<std::string> commands;
    while (std::getline(usage, line)) {
        std::smatch found;
        if (std::regex_search(line, found, std::regex("^  ([a-z]+)")) &&
            std::find(commands.begin(), commands.end(), found.str(1)) == commands.end()) {
            commands.push_back(found.str(1));
        }
    }
    EXPECT_GE(commands.size(), 5u);
    for (const std::string& command : commands) {
        EXPECT_NE(std::string(kOperatorGuide).find("| `quorvanex-cli " + command),
                  std::string::npos)
            << "the operator guide's table of commands has no row of " << command;
        EXPECT_NE(std::string(kCommandLinePage).find("| `" + command), std::string::npos)
            << "the command line's page has no row of " << command;
    }
}

// The command line's page names each command's options as the command table has them: a row of
// its table of commands names only options of its command, and every option is named on the page.
TEST(CommandLinePage, NamesEachCommandsOptionsAsTheCommandTableHasThem) {
    const std::string page = kCommandLinePage;
    static const std::regex option("--[a-z][a-z-]*");
    for (const cli::CommandOptions& command : cli::CommandsAndOptions()) {
        SCOPED_TRACE(command.command);
        std::istringstream rows(page);
        for (std::string row; std::getline(rows, row);) {
            if (row.rfind("| `" + command.command, 0) != 0) {
                continue;
            }
            const std::string cell = row.substr(0, row.find('|', 1));
            for (std::sregex_iterator it(cell.begin(), cell.end(), option), last; it != last;
                 ++it) {
                EXPECT_NE(std::find(command.options.begin(), command.options.end(), it->str()),
                          command.options.end())
                    << "the page's row " << cell << " names " << it->str();
            }
        }
        for (const std::string& name : command.options) {
            EXPECT_NE(page.find(name), std::string::npos) << "the page does not name " << name;
        }
    }
}

// The page's paragraph of the exit codes tells each code of the table, in order, each after a
// semicolon, the fatal stops' codes, and which code wins when several apply.
TEST(CommandLinePage, TellsEveryExitCodeAsTheProgramHasThem) {
    const std::string page = kCommandLinePage;
    const std::size_t start = page.find("\nExit codes: ");
    ASSERT_NE(start, std::string::npos);
    std::string paragraph = page.substr(start + 1, page.find("\n\n", start + 1) - start - 1);
    paragraph = std::regex_replace(paragraph, std::regex("\n"), " ");
    const std::string codes = paragraph.substr(0, paragraph.find(". When several apply"));
    std::vector<int> told;
    for (const std::string& item : test_support::Split(codes.substr(12), "; ")) {
        told.push_back(std::stoi(item));
    }
    std::vector<int> table;
#define QUORVANEX_EXIT_CODE_NUMBER(name, code, words) table.push_back(code);
    QUORVANEX_EXIT_CODES(QUORVANEX_EXIT_CODE_NUMBER)
#undef QUORVANEX_EXIT_CODE_NUMBER
    EXPECT_EQ(told, table) << paragraph;
    std::string fatal;
    for (const FatalCode code : kFatalCodesOfTheSteps) {
        fatal += (fatal.empty() ? "" : ", ") + std::to_string(cli::kExitFatalBase + code);
    }
    EXPECT_NE(paragraph.find("(" + fatal + ")"), std::string::npos) << paragraph;
    std::string order;
    for (const cli::ExitCode code : cli::kExitCodesWhenSeveralApply) {
        order += (order.empty() ? "" : ", ") + std::to_string(code);
    }
    EXPECT_NE(paragraph.find("the first of " + order + " is"), std::string::npos) << paragraph;
}

TEST(OperatorGuide, TheCheckFindsAMissingText) {
    EXPECT_NONFATAL_FAILURE(ExpectInGuide("A text that no guide explains"),
                            "does not explain \"A text that no guide explains\"");
}

}  // namespace
}  // namespace quorvanex
