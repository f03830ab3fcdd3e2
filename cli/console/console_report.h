// The operator's side of an update on the command line: every status text and notice as a line
// (or a JSON event), progress with rate and ETA, and no box that waits for anyone.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/image_set.h"
#include "cli/json_line.h"
#include "cli/update/unit_record.h"
#include "emulator/emulator_clock.h"
#include "seam/operator_services.h"

namespace quorvanex::cli {

// The program's clock during an update on the command line: its pauses, its millisecond tick and
// the seconds shown to the operator. The system's for a device; for a rehearsal, the emulator's
// virtual clock (emulator/emulator_clock.h), which is the device's time, seen from the program.
class ProgramClock {
  public:
    virtual ~ProgramClock() = default;
    virtual void Pause(std::uint32_t milliseconds) = 0;
    // Another thread may run: the system's offer on a device, nothing on virtual time.
    virtual void OfferProcessor() = 0;
    virtual std::uint32_t TickCount() = 0;
    virtual double Seconds() = 0;
};

class SystemProgramClock final : public ProgramClock {
  public:
    SystemProgramClock();
    void Pause(std::uint32_t milliseconds) override;
    void OfferProcessor() override;
    std::uint32_t TickCount() override;
    double Seconds() override;

  private:
    std::uint32_t startTick_;
};

class VirtualProgramClock final : public ProgramClock {
  public:
    explicit VirtualProgramClock(emulator::VirtualClock& clock) : clock_(clock) {}
    void Pause(std::uint32_t milliseconds) override;
    void OfferProcessor() override {}
    std::uint32_t TickCount() override { return clock_.TickMilliseconds(); }
    double Seconds() override { return static_cast<double>(clock_.NowMicroseconds()) / 1e6; }

  private:
    emulator::VirtualClock& clock_;
};

// Thrown where the program would end the process: the command decides how it ends.
struct ProcessEnd {
    int exitCode;
};
// Thrown when the operator has stopped the update (a second Ctrl-C while the device is being
// written, the first before it is touched).
struct UpdateStopped {};
// Thrown when the bytes of an image loaded to be written are not the approved ones: nothing of
// that image has been written, its region not erased.
struct ImageNotApproved {
    std::string name;
};

// How far the writing of one image has come, as a unit's line or row shows it.
struct ProgressFigures {
    std::string image;
    std::uint64_t imageDone = 0;
    std::uint64_t imageTotal = 0;
    double rate = 0;  // bytes a second while pages are written
    double eta = 0;   // seconds until the last page of the last image
};
// "NAME  45%  120 of 896 KiB  5.2 KiB/s  ETA 2:05". With a width, the words are shortened to fit
// it, the ETA always kept whole at their end.
std::string ProgressWords(const ProgressFigures& progress, std::size_t width = 0);
// Words, and how often they came when more than once: "... (3 times)".
std::string WithCount(const std::string& words, std::uint32_t count);
// A box as a line: 'Box "caption": text', and how often it came when more than once.
std::string BoxWords(const std::string& caption, const std::string& text, std::uint32_t count = 1);

struct ImageToReport {
    std::wstring name;
    std::uint64_t bytes;
};

class ConsoleReport final : public OperatorServices {
  public:
    enum class Style { Lines, Terminal, Json };

    ConsoleReport(ProgramClock& clock, Style style, std::vector<ImageToReport> images);

    // The approved SHA-256 of each image by name: an image loaded with other bytes ends the
    // update before its region is erased (ImageNotApproved).
    void RequireApproved(ApprovedSet approved) { approved_ = std::move(approved); }
    // Where the operator's requests to stop are counted (the console's, unless a test gives its
    // own); they are looked at on every pause and tick of the update.
    void WatchStops(std::function<unsigned()> stopRequests) {
        stopRequests_ = std::move(stopRequests);
    }

    void ShowStatusLine(const wchar_t* text, const StatusText& row) override;
    void ShowNotice(const wchar_t* text, const wchar_t* caption, NoticeIcon icon) override;
    void RequestMainWindowClose() override {}
    void Pause(std::uint32_t milliseconds) override;
    void OfferProcessor() override { clock_.OfferProcessor(); }
    std::uint32_t TickCount() override;
    [[noreturn]] void EndProcess(int exitCode) override;
    void ReportProgress(const wchar_t* file, std::uint64_t bytesDone,
                        std::uint64_t bytesTotal) override;
    void ImageLoaded(const wchar_t* file, const char* id, const std::uint8_t* data,
                     std::size_t size) override;

    // An event of the command's own (start, done, fatal): the JSON line or the plain text.
    void Event(const JsonLine& json, const std::string& plain);
    // Ends what is pending: a repeated notice not told yet, a progress bar's line.
    void Finish();

    std::uint32_t Resends() const { return resends_; }
    bool IsJson() const { return style_ == Style::Json; }
    // The images whose bytes were loaded to be written, with their SHA-256, in order.
    const std::vector<RecordedImage>& ImagesLoaded() const { return loaded_; }
    double Seconds() const { return clock_.Seconds(); }

  private:
    void Emit(const JsonLine& json, const std::string& plain);
    void FlushNotice();
    void ShowProgress(std::size_t image, bool imageDone);
    ProgressFigures Progress(std::size_t image) const;
    // Ends the update when the operator asks to stop it: at once while the device is untouched,
    // on the second request while it is being written, after telling what stopping means.
    void LookForStop();
    // Bytes a second while pages are written, erases not counted.
    double Rate() const;
    // Until the last page of the last image is written.
    double SecondsLeft() const;

    ProgramClock& clock_;
    const Style style_;
    std::vector<ImageToReport> images_;
    std::uint64_t totalBytes_ = 0;
    // A notice shown again and again within one exchange (a queue check failing over and over)
    // is told once, with its count, when something else happens.
    std::wstring pendingText_;
    std::wstring pendingCaption_;
    std::uint32_t pendingCount_ = 0;
    // Progress: the image being written and the bytes of those finished before it.
    std::size_t currentImage_ = 0;
    std::uint64_t imageDone_ = 0;
    std::uint64_t finishedBytes_ = 0;
    double eraseStartSeconds_ = 0;
    double erasingSeconds_ = 0;
    std::uint32_t imagesErased_ = 0;
    double lastPageSeconds_ = -1;
    double writingSeconds_ = 0;
    std::uint64_t bytesTimed_ = 0;
    double lastShownSeconds_ = -1;
    int lastShownTenth_ = -1;
    bool barOnScreen_ = false;
    std::uint32_t resends_ = 0;
    std::optional<ApprovedSet> approved_;
    std::vector<RecordedImage> loaded_;
    std::function<unsigned()> stopRequests_;
    bool stopWarned_ = false;
};

// Seconds as minutes and seconds ("2:05"), as the progress lines show the time left.
std::string Duration(double seconds);

// The images of the set that the update writes, as the report counts their progress.
std::vector<ImageToReport> ImagesToReport(const ImageSetReport& set);
// Lines, a terminal's rows, or JSON, as the arguments and the output ask.
ConsoleReport::Style ReportStyle(const Arguments& arguments);

}  // namespace quorvanex::cli
