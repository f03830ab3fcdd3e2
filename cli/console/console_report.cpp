#include "cli/console/console_report.h"

#include <cstdio>

#include "cli/cli_texts.h"
#include "cli/console/console_platform.h"
#include "protocol/image_regions.h"
#include "protocol/protocol_texts.h"
#include "text/hex_digits.h"
#include "text/utf8.h"

namespace quorvanex::cli {
namespace {

// Progress is told again after this much of the update's own time, and at the end of each image:
// often enough to see it move, seldom enough to keep a log readable (about 175 events for a full
// multi-part update at 1 ms a reply).
constexpr double kJsonProgressSeconds = 1.0;
constexpr double kBarProgressSeconds = 0.2;
constexpr std::size_t kBarWidth = 24;

// The events follow from the row that the core paints, never from its words: a reworded line
// stays the event it was.
const ControlCommandLine* ControlCommandOf(const StatusText& row) {
    for (const ControlCommandLine& command : kControlCommandLines) {
        if (&command.line == &row) {
            return &command;
        }
    }
    return nullptr;
}

bool IsRetransmitLine(const StatusText& row) {
    for (const StatusText* line : kRetransmitLines) {
        if (line == &row) {
            return true;
        }
    }
    return false;
}

}  // namespace

ConsoleReport::ConsoleReport(ProgramClock& clock, Style style, std::vector<ImageToReport> images)
    : clock_(clock), style_(style), progress_(std::move(images)) {}

void ConsoleReport::Emit(const JsonLine& json, const std::string& plain) {
    if (barOnScreen_) {
        WriteOutput("\n");
        barOnScreen_ = false;
    }
    WriteOutput(style_ == Style::Json ? json.Line() : plain + "\n");
}

void ConsoleReport::Event(const JsonLine& json, const std::string& plain) {
    FlushNotice();
    Emit(json, plain);
}

void ConsoleReport::Finish() {
    FlushNotice();
    if (barOnScreen_) {
        WriteOutput("\n");
        barOnScreen_ = false;
    }
}

void ConsoleReport::ShowStatusLine(const wchar_t* text, const StatusText& row) {
    FlushNotice();
    const std::string words = Utf8WithoutTrailingBlanks(text);
    // The window's own progress line: the command line tells progress its own way.
    if (words.empty() || &row == &kProgressLine) {
        return;
    }
    if (const ControlCommandLine* command = ControlCommandOf(row)) {
        Emit(JsonLine(Event::State)
                 .Text(field::kCode, HexDigits(command->code, 2))
                 .Text(field::kText, words),
             words);
    } else if (IsRetransmitLine(row)) {
        ++resends_;
        Emit(JsonLine(Event::Resend).Text(field::kText, words), words);
    } else {
        Emit(JsonLine(Event::Line).Text(field::kText, words), words);
    }
}

void ConsoleReport::ShowNotice(const wchar_t* text, const wchar_t* caption, NoticeIcon /*icon*/) {
    if (const std::optional<RepeatedNotice> before = notices_.Add(text, caption)) {
        TellNotice(*before);
    }
}

void ConsoleReport::FlushNotice() {
    if (const std::optional<RepeatedNotice> held = notices_.Take()) {
        TellNotice(*held);
    }
}

void ConsoleReport::TellNotice(const RepeatedNotice& notice) {
    Emit(JsonLine(Event::Notice)
             .Text(field::kCaption, Utf8FromWide(notice.caption))
             .Text(field::kText, Utf8FromWide(notice.text))
             .Count(field::kCount, notice.count),
         BoxWords(Utf8WithoutTrailingBlanks(notice.caption), Utf8WithoutTrailingBlanks(notice.text),
                  notice.count));
}

void ConsoleReport::ImageLoaded(const wchar_t* file, const char* id, const std::uint8_t* data,
                                std::size_t size) {
    loaded_.push_back({Utf8FromWide(file), ImageDigest(id, data, size)});
}

void ConsoleReport::EndProcess(int exitCode) {
    Finish();
    throw ProcessEnd{exitCode};
}

void ConsoleReport::ReportProgress(const wchar_t* file, std::uint64_t bytesDone,
                                   std::uint64_t bytesTotal) {
    FlushNotice();
    if (!progress_.HasImages()) {
        return;
    }
    const double now = clock_.Seconds();
    if (bytesDone == 0) {
        // A new image: its region is about to be erased.
        const std::string name = progress_.ImageBegins(file, bytesTotal, now);
        lastShownTenth_ = -1;
        JsonLine erase(Event::Erase);
        erase.Text(field::kImage, name);
        if (!loaded_.empty() && loaded_.back().name == name) {
            erase.Text(field::kSha256, loaded_.back().sha256);
        }
        Emit(erase, Said(kErasingRegion, {name}));
        return;
    }
    ShowProgress(progress_.PageWritten(bytesDone, now));
}

void ConsoleReport::ShowProgress(bool imageDone) {
    const double now = clock_.Seconds();
    const std::uint64_t size = progress_.ImageSize();
    const int tenth = size > 0 ? static_cast<int>(progress_.ImageDone() * 10 / size) : 10;
    const double interval = style_ == Style::Terminal ? kBarProgressSeconds : kJsonProgressSeconds;
    const bool due =
        style_ == Style::Lines ? tenth > lastShownTenth_ : now - lastShownSeconds_ >= interval;
    if (!due && !imageDone) {
        return;
    }
    lastShownSeconds_ = now;
    lastShownTenth_ = tenth;
    if (style_ == Style::Json) {
        Emit(JsonLine(Event::Progress)
                 .Text(field::kImage, Utf8FromWide(progress_.ImageName()))
                 .Count(field::kImageDone, progress_.ImageDone())
                 .Count(field::kImageTotal, size)
                 .Count(field::kDone, progress_.BytesDone())
                 .Count(field::kTotal, progress_.TotalBytes())
                 .Decimal(field::kRate, progress_.Rate(), 0)
                 .Decimal(field::kEta, progress_.SecondsLeft(), 1)
                 .Decimal(field::kSeconds, now, 1),
             "");
        return;
    }
    if (style_ == Style::Lines) {
        Emit(JsonLine(), ProgressWords(progress_.Figures()));
        return;
    }
    std::string bar = "\r";
    bar.append(ProgressBar(progress_.ImageDone(), size, kBarWidth))
        .append(" ")
        .append(ProgressWords(progress_.Figures()))
        .append("   ");
    WriteOutput(bar);
    barOnScreen_ = true;
    if (imageDone) {
        WriteOutput("\n");
        barOnScreen_ = false;
    }
}

std::vector<ImageToReport> ImagesToReport(const ImageSetReport& set) {
    std::vector<ImageToReport> images;
    for (const ImageFileReport* file : set.FilesToWrite()) {
        images.push_back({file->name, file->dataSize});
    }
    return images;
}

ConsoleReport::Style ReportStyle(const Arguments& arguments) {
    if (arguments.json) {
        return ConsoleReport::Style::Json;
    }
    return OutputIsTerminal() ? ConsoleReport::Style::Terminal : ConsoleReport::Style::Lines;
}

}  // namespace quorvanex::cli
