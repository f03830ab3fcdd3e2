// Every text that the window program or the command line shows is explained in the operator
// guide: the tests read the program's text tables and look for each text in the guide as it
// stands. A text added to a table without a word in the guide fails here.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/cli_texts.h"
#include "emulator/stand_in/stand_in_texts.h"
#include "link/bridge_library_texts.h"
#include "operator_guide_table.h"
#include "tests/support/text_pieces.h"
#include "tests/text/every_operator_text.h"

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
    test_support::ForEachStatusText([](const StatusText& line) { ExpectInGuide(line.words); });
    for (const StatusText& line : kStartUpLines) {
        ExpectInGuide(line.words);
    }
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
                              });
    ExpectInGuide(kCloseWhileChangingCaption);
    // The question's first and last sentences name it in the guide.
    ExpectInGuide("The update is still writing the flash.");
    ExpectInGuide("Close anyway?");
    EXPECT_NE(Narrow(kCloseWhileChangingQuestion).find("Close anyway?"), std::string::npos);
}

TEST(OperatorGuide, ExplainsWhyTheBridgeLibraryCannotBeUsedAndTheTestCopysBox) {
    for (const wchar_t* text : kLibraryTexts) {
        ExpectInGuide(text);
    }
    for (const wchar_t* text : {emulator::kEmulatorCaption, emulator::kScenarioCannotBeRead,
                                emulator::kScenarioIsWrong}) {
        ExpectInGuide(text);
    }
}

TEST(OperatorGuide, NamesEveryFileOfTheImageSet) {
    for (const wchar_t* name : kImageSetFiles) {
        ExpectInGuide(name);
    }
}

TEST(OperatorGuide, ExplainsEveryTextOfTheCommandLine) {
    for (const cli::CommandLineText& text : cli::kCommandLineTexts) {
        ExpectInGuide(text.format, "{}");
    }
}

TEST(OperatorGuide, TheCheckFindsAMissingText) {
    EXPECT_NONFATAL_FAILURE(ExpectInGuide("A text that no guide explains"),
                            "does not explain \"A text that no guide explains\"");
}

}  // namespace
}  // namespace quorvanex
