// Every text that the window program or the command line shows is explained in the operator
// guide: the tests read the program's text tables and look for each text in the guide as it
// stands. A text added to a table without a word in the guide fails here.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_texts.h"
#include "cli/cli_texts.h"
#include "link/link_texts.h"
#include "operator_guide_table.h"
#include "protocol/protocol_texts.h"
#include "update/image_set.h"
#include "update/update_texts.h"

namespace quorvanex {
namespace {

std::string Narrow(const wchar_t* text) {
    std::string narrow;
    for (; *text != L'\0'; ++text) {
        narrow += static_cast<char>(*text);
    }
    return narrow;
}

std::string Trimmed(std::string text) {
    text.erase(0, text.find_first_not_of(' '));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

// The fixed words of a text, split where a value goes ("%ls" in the program's texts, "{}" in the
// command line's): each piece must stand in the guide.
std::vector<std::string> FixedPieces(const std::string& text, const std::string& placeholder) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(placeholder, start);
        const std::string piece = Trimmed(text.substr(start, end - start));
        if (!piece.empty()) {
            pieces.push_back(piece);
        }
        if (end == std::string::npos) {
            return pieces;
        }
        start = end + placeholder.size();
    }
}

void ExpectInGuide(const std::string& text, const std::string& placeholder = "%ls") {
    for (const std::string& piece : FixedPieces(text, placeholder)) {
        EXPECT_NE(std::string(kOperatorGuide).find(piece), std::string::npos)
            << "the operator guide does not explain \"" << piece << "\"";
    }
}

void ExpectInGuide(const wchar_t* text) {
    ExpectInGuide(Narrow(text));
}

TEST(OperatorGuide, ExplainsEveryStatusLine) {
    std::vector<const StatusText*> lines = {
        &kReadCountMismatchLine, &kSpeedRetransmitLine,      &kStateRetransmitLine,
        &kFlashWriteStartedLine, &kFlashWriteRetransmitLine, &kProgressLine,
        &kUpdatingFirmwareLine,  &kDoNotTurnPowerOffLine,
    };
    for (const ControlCommandLine& command : kControlCommandLines) {
        lines.push_back(&command.line);
    }
    for (const PartFile& part : kPartFiles) {
        lines.push_back(&part.line);
    }
    for (const StatusText& line : kFinishLines) {
        lines.push_back(&line);
    }
    for (const StatusText& line : kFatalTexts) {
        lines.push_back(&line);
    }
    for (const StatusText& line : kStartUpLines) {
        lines.push_back(&line);
    }
    for (const StatusText* line : lines) {
        ExpectInGuide(line->words);
    }
}

TEST(OperatorGuide, ExplainsEveryBoxWithItsCaption) {
    const NoticeText notices[] = {
        kErrorSendingCode,  kErrorCheckingQueue,   kErrorReadingData,  kErrorRetrievingSerial,
        kNotConnected,      kUnableToClose,        kSpeedSelectFailed, kStateCommandFailed,
        kWriteEnableFailed, kSectorEraseFailed,    kFlashWriteFailed,  kUpdateOkNotice,
        kFatalNotice,       kUpdateAlreadyRunning,
    };
    for (const NoticeText& notice : notices) {
        ExpectInGuide(notice.text);
        ExpectInGuide(notice.caption);
    }
    const PathNotice pathNotices[] = {kInputFileNotFound, kImageTooLargeWhileWriting,
                                      kImageNotReadWhole, kImageWithWrongId, kImageTooLarge};
    for (const PathNotice& notice : pathNotices) {
        ExpectInGuide(notice.format);
        ExpectInGuide(notice.caption);
    }
    ExpectInGuide(kCloseWhileChangingCaption);
    // The question's first and last sentences name it in the guide.
    ExpectInGuide("The update is still writing the flash.");
    ExpectInGuide("Close anyway?");
    EXPECT_NE(Narrow(kCloseWhileChangingQuestion).find("Close anyway?"), std::string::npos);
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
