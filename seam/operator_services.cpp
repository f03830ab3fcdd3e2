#include "seam/operator_services.h"

#include <cstdio>
#include <cstdlib>

namespace quorvanex {
namespace {

// Without a window there is nothing to paint on and nobody to answer a box; the defaults serve
// the portable build outside the tests (fuzzing, benchmarks), where only the device counts.
class PortableOperatorServices final : public OperatorServices {
  public:
    void ShowStatusLine(const wchar_t*, const StatusText&) override {}
    void ShowNotice(const wchar_t*, const wchar_t*, NoticeIcon) override {}
    void RequestMainWindowClose() override {}
    void EndProcess(int exitCode) override {
        std::fflush(stdout);
        std::exit(exitCode);
    }
};

PortableOperatorServices portableServices;
OperatorServices* installedServices = &portableServices;

}  // namespace

void InstallOperatorServices(OperatorServices* services) {
    installedServices = services != nullptr ? services : &portableServices;
}

void ShowStatusLine(const wchar_t* text, const StatusText& row) {
    installedServices->ShowStatusLine(text, row);
}

void ShowNotice(const wchar_t* text, const wchar_t* caption, NoticeIcon icon) {
    installedServices->ShowNotice(text, caption, icon);
}

void RequestMainWindowClose() {
    installedServices->RequestMainWindowClose();
}

void ReportProgress(const wchar_t* file, std::uint64_t bytesDone, std::uint64_t bytesTotal) {
    installedServices->ReportProgress(file, bytesDone, bytesTotal);
}

void ShowStatusText(const StatusText& line) {
    MessageText text;
    MakeStatusText(line, text);
    ShowStatusLine(text, line);
}

void ShowNotice(const NoticeText& notice) {
    ShowNotice(notice.text, notice.caption, notice.icon);
}

void ShowPathNotice(const PathNotice& notice, const wchar_t* path) {
    MessageText text;
    FormatPathMessage(text, notice.format, path);
    ShowNotice(text, notice.caption, NoticeIcon::Warning);
}

void ImageLoaded(const wchar_t* file, const char* id, const std::uint8_t* data, std::size_t size) {
    installedServices->ImageLoaded(file, id, data, size);
}

void EndProcess(int exitCode) {
    installedServices->EndProcess(exitCode);
    // A service that returns here would let a stopped update go on.
    std::abort();
}

}  // namespace quorvanex
