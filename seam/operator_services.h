// What the portable core needs from the operator's side: painting a status line, showing a
// notice, asking for the main window to close and ending the process, and the progress and the
// bytes of an image to be written for a side that wants them. The Windows program installs the
// real calls; the tests install a recorder; without either, portable defaults apply. Time is the
// program clock's (seam/program_clock.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "text/operator_text.h"

namespace quorvanex {

class OperatorServices {
  public:
    virtual ~OperatorServices() = default;

    // Draws the whole zero-terminated text at x = 10 and the row's y of the main window. The row
    // of the program's text tables that the text was made from says which line it is, whatever
    // its words.
    virtual void ShowStatusLine(const wchar_t* text, const StatusText& row) = 0;
    // A modal box with no owner and the OK button alone; returns when the operator closes it.
    virtual void ShowNotice(const wchar_t* text, const wchar_t* caption, NoticeIcon icon) = 0;
    // Asks for the main window to be closed on the thread that owns it; does not wait for it.
    virtual void RequestMainWindowClose() = 0;
    // Ends the whole process with the exit code. Must not return.
    virtual void EndProcess(int exitCode) = 0;
    // How far the image being written has come: the bytes that the device has accepted of the
    // bytes in the file, first with none as its region is about to be erased. The window shows no
    // such thing and leaves this as it is.
    virtual void ReportProgress(const wchar_t* /*file*/, std::uint64_t /*bytesDone*/,
                                std::uint64_t /*bytesTotal*/) {}
    // The bytes of an image file exactly as they will be written, its ID first: read whole, and
    // not yet sent, its region not yet erased. A side that checks them against an approved set
    // (the command line's --expect) ends the update here when they differ, the way its EndProcess
    // does; the window checks nothing.
    virtual void ImageLoaded(const wchar_t* /*file*/, const char* /*id*/,
                             const std::uint8_t* /*data*/, std::size_t /*size*/) {}
};

// Installs the services for the whole process; nullptr puts the portable defaults back. Install
// before any update starts: the services are read, not locked, while an update runs.
void InstallOperatorServices(OperatorServices* services);

// The services installed for as long as this object lives, and the portable defaults put back on
// every way out of the scope: nothing is left pointing at services that no longer exist.
class ScopedOperatorServices {
  public:
    explicit ScopedOperatorServices(OperatorServices& services) {
        InstallOperatorServices(&services);
    }
    ~ScopedOperatorServices() { InstallOperatorServices(nullptr); }
    ScopedOperatorServices(const ScopedOperatorServices&) = delete;
    ScopedOperatorServices& operator=(const ScopedOperatorServices&) = delete;
};

void ShowStatusLine(const wchar_t* text, const StatusText& row);
void ShowNotice(const wchar_t* text, const wchar_t* caption, NoticeIcon icon);
void RequestMainWindowClose();
[[noreturn]] void EndProcess(int exitCode);
void ReportProgress(const wchar_t* file, std::uint64_t bytesDone, std::uint64_t bytesTotal);
void ImageLoaded(const wchar_t* file, const char* id, const std::uint8_t* data, std::size_t size);

// The rows of the text tables, shown through the services. A status text is painted whole: the
// words padded with blanks to the row's length, at its row.
void ShowStatusText(const StatusText& line);
void ShowNotice(const NoticeText& notice);
// The box with the path in its text, formatted as FormatPathMessage does.
void ShowPathNotice(const PathNotice& notice, const wchar_t* path);

}  // namespace quorvanex
