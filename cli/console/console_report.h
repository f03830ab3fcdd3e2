// The operator's side of an update on the command line: every status text and notice as a line
// (or a JSON event), progress with rate and ETA (cli/console/progress_estimate.h), a box repeated
// within one exchange told once (cli/console/repeated_notices.h), the images loaded with their
// SHA-256 for the record, and no box that waits for anyone. Its clock, with the operator's
// requests to stop, is cli/console/update_clock.h; the check of --expect is a wrapper of its own
// (cli/update/approval_check.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/console/progress_estimate.h"
#include "cli/console/repeated_notices.h"
#include "cli/image_set.h"
#include "cli/json_line.h"
#include "cli/update/unit_record.h"
#include "seam/operator_services.h"
#include "seam/program_clock.h"

namespace quorvanex::cli {

// Thrown where the program would end the process: the command decides how it ends.
struct ProcessEnd {
    int exitCode;
};

class ConsoleReport final : public OperatorServices {
  public:
    enum class Style { Lines, Terminal, Json };

    // On the clock given: the system's, or the emulator's virtual time in a rehearsal.
    ConsoleReport(ProgramClock& clock, Style style, std::vector<ImageToReport> images);

    void ShowStatusLine(const wchar_t* text, const StatusText& row) override;
    void ShowNotice(const wchar_t* text, const wchar_t* caption, NoticeIcon icon) override;
    void RequestMainWindowClose() override {}
    [[noreturn]] void EndProcess(int exitCode) override;
    void ReportProgress(const wchar_t* file, std::uint64_t bytesDone,
                        std::uint64_t bytesTotal) override;
    void ImageLoaded(const wchar_t* file, const char* id, const std::uint8_t* data,
                     std::size_t size) override;

    // An event of the command's own (start, done, fatal): the JSON line or the plain text.
    void Event(const JsonLine& json, const std::string& plain);
    // A pause ends an exchange: a box after it is told on its own.
    void ExchangeEnded() { FlushNotice(); }
    // Ends what is pending: a repeated notice not told yet, a progress bar's line.
    void Finish();

    std::uint32_t Resends() const { return resends_; }
    bool IsJson() const { return style_ == Style::Json; }
    // The images whose bytes were loaded to be written, with their SHA-256, in order.
    const std::vector<RecordedImage>& ImagesLoaded() const { return loaded_; }
    ProgramClock& Clock() { return clock_; }
    double Seconds() const { return clock_.Seconds(); }

  private:
    void Emit(const JsonLine& json, const std::string& plain);
    void FlushNotice();
    void TellNotice(const RepeatedNotice& notice);
    void ShowProgress(bool imageDone);

    ProgramClock& clock_;
    const Style style_;
    ProgressEstimate progress_;
    RepeatedNotices notices_;
    double lastShownSeconds_ = -1;
    int lastShownTenth_ = -1;
    bool barOnScreen_ = false;
    std::uint32_t resends_ = 0;
    std::vector<RecordedImage> loaded_;
};

// The images of the set that the update writes, as the report counts their progress.
std::vector<ImageToReport> ImagesToReport(const ImageSetReport& set);
// Lines, a terminal's rows, or JSON, as the arguments and the output ask.
ConsoleReport::Style ReportStyle(const Arguments& arguments);

}  // namespace quorvanex::cli
