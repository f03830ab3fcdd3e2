// The operator services on Windows: lines painted straight onto the main window, message boxes
// without an owner, and the process's end. The window's time is the system's clock.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "app/main_window_win.h"
#include "app/operator_services_win.h"
#include "text/operator_text.h"

namespace quorvanex {

void WindowsOperatorServices::ShowStatusLine(const wchar_t* text, const StatusText& row) {
    // A device context of its own for each line, with nothing set in it: the default font and
    // the opaque white character cells let a line ending in blanks cover an older, longer one.
    HDC context = GetDC(MainWindowHandle());
    TextOutW(context, 10, row.y, text, static_cast<int>(std::wcslen(text)));
    ReleaseDC(MainWindowHandle(), context);
}

void WindowsOperatorServices::ShowNotice(const wchar_t* text, const wchar_t* caption,
                                         NoticeIcon icon) {
    // No owner: the box disables no window, and the main window stays usable while it waits.
    MessageBoxW(nullptr, text, caption, static_cast<UINT>(icon));
}

void WindowsOperatorServices::RequestMainWindowClose() {
    // A window may be destroyed only by the thread that owns it.
    PostMessageW(MainWindowHandle(), kCloseRequestMessage, 0, 0);
}

void WindowsOperatorServices::EndProcess(int exitCode) {
    std::fflush(stdout);
    std::exit(exitCode);
}

}  // namespace quorvanex
