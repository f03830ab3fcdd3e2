#include "cli/console/console_report.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>

#include "cli/cli_texts.h"
#include "cli/console/console_platform.h"
#include "cli/sha256.h"
#include "protocol/image_regions.h"
#include "protocol/protocol_texts.h"
#include "seam/system_time.h"
#include "text/utf8.h"
#include "update/device_change.h"

namespace quorvanex::cli {
namespace {

// Progress is told again after this much of the update's own time, and at the end of each image:
// often enough to see it move, seldom enough to keep a log readable (about 175 events for a full
// multi-part update at 1 ms a reply).
constexpr double kJsonProgressSeconds = 1.0;
constexpr double kBarProgressSeconds = 0.2;
constexpr int kBarWidth = 24;

std::string Trimmed(const wchar_t* text) {
    std::wstring words = text;
    words.erase(words.find_last_not_of(L' ') + 1);
    return Utf8FromWide(words);
}

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

std::string Hex(std::uint8_t byte) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", byte);
    return text;
}

std::string Kibibytes(std::uint64_t bytes) {
    return std::to_string((bytes + 512) / 1024);
}

}  // namespace

std::string ProgressWords(const ProgressFigures& progress, std::size_t width) {
    const int percent = progress.imageTotal > 0
                            ? static_cast<int>(progress.imageDone * 100 / progress.imageTotal)
                            : 100;
    char figures[96];
    std::snprintf(figures, sizeof figures, " %3d%%  %s of %s KiB  %.1f KiB/s", percent,
                  Kibibytes(progress.imageDone).c_str(), Kibibytes(progress.imageTotal).c_str(),
                  progress.rate / 1024);
    const std::string eta = "  ETA " + Duration(progress.eta);
    std::string words = progress.image + figures;
    if (width != 0 && words.size() + eta.size() > width) {
        // The name gives way first, then the figures: the time left is what a glance looks for.
        const std::size_t room = width > eta.size() ? width - eta.size() : 0;
        std::string name = progress.image;
        const std::size_t figuresLength = std::char_traits<char>::length(figures);
        name.resize(room > figuresLength + 8 ? room - figuresLength : std::min(name.size(), room));
        words = (name + figures).substr(0, room);
    }
    return words + eta;
}

std::string WithCount(const std::string& words, std::uint32_t count) {
    return count > 1 ? words + " (" + std::to_string(count) + " times)" : words;
}

std::string BoxWords(const std::string& caption, const std::string& text, std::uint32_t count) {
    // A box's lines, one line of the console.
    std::string oneLine = text;
    std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
    return WithCount("Box" + (caption.empty() ? "" : " \"" + caption + "\"") +
                         (oneLine.empty() ? "" : ": " + oneLine),
                     count);
}

std::string Duration(double seconds) {
    const auto whole = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

SystemProgramClock::SystemProgramClock() : startTick_(MillisecondTick()) {}

void SystemProgramClock::Pause(std::uint32_t milliseconds) {
    SleepMilliseconds(milliseconds);
}

void SystemProgramClock::OfferProcessor() {
    OfferProcessorToOtherThreads();
}

std::uint32_t SystemProgramClock::TickCount() {
    return MillisecondTick();
}

double SystemProgramClock::Seconds() {
    return static_cast<double>(MillisecondTick() - startTick_) / 1000.0;
}

void VirtualProgramClock::Pause(std::uint32_t milliseconds) {
    clock_.AdvanceMicroseconds(std::uint64_t{milliseconds} * 1000);
}

ConsoleReport::ConsoleReport(ProgramClock& clock, Style style, std::vector<ImageToReport> images)
    : clock_(clock), style_(style), images_(std::move(images)) {
    for (const ImageToReport& image : images_) {
        totalBytes_ += image.bytes;
    }
}

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
    const std::string words = Trimmed(text);
    // The window's own progress line: the command line tells progress its own way.
    if (words.empty() || &row == &kProgressLine) {
        return;
    }
    if (const ControlCommandLine* command = ControlCommandOf(row)) {
        Emit(
            JsonLine(Event::State).Text(field::kCode, Hex(command->code)).Text(field::kText, words),
            words);
    } else if (IsRetransmitLine(row)) {
        ++resends_;
        Emit(JsonLine(Event::Resend).Text(field::kText, words), words);
    } else {
        Emit(JsonLine(Event::Line).Text(field::kText, words), words);
    }
}

void ConsoleReport::ShowNotice(const wchar_t* text, const wchar_t* caption, NoticeIcon /*icon*/) {
    if (pendingCount_ > 0 && pendingText_ == text && pendingCaption_ == caption) {
        ++pendingCount_;
        return;
    }
    FlushNotice();
    pendingText_ = text;
    pendingCaption_ = caption;
    pendingCount_ = 1;
}

void ConsoleReport::FlushNotice() {
    if (pendingCount_ == 0) {
        return;
    }
    const std::string caption = Trimmed(pendingCaption_.c_str());
    const std::string text = Trimmed(pendingText_.c_str());
    const std::string plain = BoxWords(caption, text, pendingCount_);
    const std::uint32_t count = pendingCount_;
    pendingCount_ = 0;
    Emit(JsonLine(Event::Notice)
             .Text(field::kCaption, Utf8FromWide(pendingCaption_))
             .Text(field::kText, Utf8FromWide(pendingText_))
             .Count(field::kCount, count),
         plain);
}

void ConsoleReport::Pause(std::uint32_t milliseconds) {
    // A pause ends an exchange: a notice after it is told on its own.
    FlushNotice();
    LookForStop();
    clock_.Pause(milliseconds);
}

std::uint32_t ConsoleReport::TickCount() {
    LookForStop();
    return clock_.TickCount();
}

void ConsoleReport::LookForStop() {
    const unsigned requests = stopRequests_ ? stopRequests_() : 0;
    if (requests == 0) {
        return;
    }
    // Nothing sent yet, or the device told that it is done: nothing is lost by stopping.
    if (!DeviceBeingChanged() || requests >= 2) {
        throw UpdateStopped{};
    }
    if (!stopWarned_) {
        stopWarned_ = true;
        WriteError(Said(kStopWhileWriting) + "\n");
    }
}

void ConsoleReport::ImageLoaded(const wchar_t* file, const char* id, const std::uint8_t* data,
                                std::size_t size) {
    Sha256 hash;
    hash.Add(reinterpret_cast<const std::uint8_t*>(id), kImageIdLength);
    hash.Add(data, size);
    const std::string name = Utf8FromWide(file);
    const std::string digest = hash.HexDigest();
    if (approved_ && !approved_->Approves(name, digest)) {
        throw ImageNotApproved{name};
    }
    loaded_.push_back({name, digest});
}

void ConsoleReport::EndProcess(int exitCode) {
    Finish();
    throw ProcessEnd{exitCode};
}

void ConsoleReport::ReportProgress(const wchar_t* file, std::uint64_t bytesDone,
                                   std::uint64_t bytesTotal) {
    FlushNotice();
    if (images_.empty()) {
        return;
    }
    const double now = clock_.Seconds();
    if (bytesDone == 0) {
        // A new image: its region is about to be erased.
        finishedBytes_ = 0;
        for (std::size_t i = 0; i < images_.size(); ++i) {
            if (images_[i].name == file) {
                currentImage_ = i;
                break;
            }
            finishedBytes_ += images_[i].bytes;
        }
        // The bytes loaded to be written are the image from now on, whatever size the file had
        // when it was looked at: the progress and its totals count what is written.
        totalBytes_ = totalBytes_ - images_[currentImage_].bytes + bytesTotal;
        images_[currentImage_].bytes = bytesTotal;
        imageDone_ = 0;
        lastShownTenth_ = -1;
        eraseStartSeconds_ = now;
        lastPageSeconds_ = -1;
        const std::string name = Utf8FromWide(images_[currentImage_].name);
        JsonLine erase(Event::Erase);
        erase.Text(field::kImage, name);
        if (!loaded_.empty() && loaded_.back().name == name) {
            erase.Text(field::kSha256, loaded_.back().sha256);
        }
        Emit(erase, Said(kErasingRegion, {name}));
        return;
    }
    if (lastPageSeconds_ < 0) {
        // The first page of the image: its erase is over.
        erasingSeconds_ += now - eraseStartSeconds_;
        ++imagesErased_;
    } else {
        writingSeconds_ += now - lastPageSeconds_;
        bytesTimed_ += bytesDone - imageDone_;
    }
    lastPageSeconds_ = now;
    imageDone_ = bytesDone;
    ShowProgress(currentImage_, bytesDone == images_[currentImage_].bytes);
}

double ConsoleReport::Rate() const {
    return writingSeconds_ > 0 ? static_cast<double>(bytesTimed_) / writingSeconds_ : 0;
}

// The bytes left at the rate of the pages so far, and an erase for each image still to come, as
// long as the erases so far took.
double ConsoleReport::SecondsLeft() const {
    const double rate = Rate();
    const std::uint64_t done = finishedBytes_ + imageDone_;
    const std::uint64_t left = totalBytes_ > done ? totalBytes_ - done : 0;
    const double writing = rate > 0 ? static_cast<double>(left) / rate : 0;
    const double erasing = imagesErased_ > 0 ? erasingSeconds_ / imagesErased_ : 0;
    return writing + erasing * static_cast<double>(images_.size() - 1 - currentImage_);
}

ProgressFigures ConsoleReport::Progress(std::size_t image) const {
    return {Utf8FromWide(images_[image].name), imageDone_, images_[image].bytes, Rate(),
            SecondsLeft()};
}

void ConsoleReport::ShowProgress(std::size_t image, bool imageDone) {
    const double now = clock_.Seconds();
    const std::uint64_t size = images_[image].bytes;
    const int tenth = size > 0 ? static_cast<int>(imageDone_ * 10 / size) : 10;
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
                 .Text(field::kImage, Utf8FromWide(images_[image].name))
                 .Count(field::kImageDone, imageDone_)
                 .Count(field::kImageTotal, size)
                 .Count(field::kDone, finishedBytes_ + imageDone_)
                 .Count(field::kTotal, totalBytes_)
                 .Decimal(field::kRate, Rate(), 0)
                 .Decimal(field::kEta, SecondsLeft(), 1)
                 .Decimal(field::kSeconds, now, 1),
             "");
        return;
    }
    if (style_ == Style::Lines) {
        Emit(JsonLine(), ProgressWords(Progress(image)));
        return;
    }
    const int filled = size > 0 ? static_cast<int>(imageDone_ * kBarWidth / size) : kBarWidth;
    WriteOutput("\r[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] " +
                ProgressWords(Progress(image)) + "   ");
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
