// The console on Windows: wide arguments, UTF-16 to a console window and UTF-8 to a pipe or file.
#include <windows.h>

#include <direct.h>
#include <cstdio>
#include <cstdlib>

#include "cli/console/console_platform.h"
#include "cli/console/console_streams.h"
#include "text/utf8.h"

namespace quorvanex::cli {
namespace {

volatile LONG stopRequests = 0;
volatile LONG closing = 0;
volatile LONG answered = 0;

// The system ends a program a few seconds after its console closes, whatever its handler does;
// the handler waits a little less for the records to be written.
constexpr DWORD kClosingWaitMilliseconds = 4000;
// How often the closing console looks whether the command has answered.
constexpr DWORD kClosingLookMilliseconds = 50;

BOOL WINAPI CountStopRequest(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        InterlockedIncrement(&stopRequests);
        return TRUE;
    }
    // The console is closing, or the user logging off: the program will not be asked twice.
    InterlockedExchange(&closing, 1);
    InterlockedExchangeAdd(&stopRequests, 2);
    for (DWORD waited = 0; answered == 0 && waited < kClosingWaitMilliseconds;
         waited += kClosingLookMilliseconds) {
        Sleep(kClosingLookMilliseconds);
    }
    return FALSE;
}

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

// The console shows UTF-16 whatever its code page; WriteFile would go through the page.
bool Write(DWORD which, std::FILE* stream, const std::string& utf8) {
    const HANDLE handle = GetStdHandle(which);
    if (IsConsole(handle)) {
        const std::wstring wide = WideFromUtf8(utf8);
        DWORD written = 0;
        return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written,
                             nullptr) &&
               written == wide.size();
    }
    const bool written = std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size();
    return std::fflush(stream) == 0 && written;
}

}  // namespace

bool OutputIsTerminal() {
    return IsConsole(GetStdHandle(STD_OUTPUT_HANDLE));
}

bool WriteStandardStream(StandardStream stream, const std::string& utf8) {
    return stream == StandardStream::Output ? Write(STD_OUTPUT_HANDLE, stdout, utf8)
                                            : Write(STD_ERROR_HANDLE, stderr, utf8);
}

void MoveUpLines(std::size_t lines) {
    // The console of Windows XP knows no escape sequences; its cursor is placed instead.
    const HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO screen;
    if (!GetConsoleScreenBufferInfo(console, &screen)) {
        return;
    }
    COORD position = {0, static_cast<SHORT>(screen.dwCursorPosition.Y - static_cast<SHORT>(lines))};
    if (position.Y < 0) {
        position.Y = 0;
    }
    SetConsoleCursorPosition(console, position);
}

bool ChangeCurrentFolder(const std::string& utf8) {
    return _wchdir(WideFromUtf8(utf8).c_str()) == 0;
}

std::optional<std::string> AbsolutePath(const std::string& utf8) {
    if (utf8.empty()) {
        return utf8;
    }
    wchar_t* full = _wfullpath(nullptr, WideFromUtf8(utf8).c_str(), 0);
    if (full == nullptr) {
        return std::nullopt;
    }
    const std::string absolute = Utf8FromWide(full);
    std::free(full);
    return absolute;
}

std::string ReadStandardInput() {
    std::string text;
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(input, chunk, sizeof chunk, &read, nullptr) && read > 0) {
        text.append(chunk, read);
    }
    return text;
}

void WatchStopRequests() {
    SetConsoleCtrlHandler(&CountStopRequest, TRUE);
}

unsigned StopRequests() {
    return static_cast<unsigned>(stopRequests);
}

bool ConsoleClosing() {
    return closing != 0;
}

void StopRequestsAnswered() {
    InterlockedExchange(&answered, 1);
}

}  // namespace quorvanex::cli
