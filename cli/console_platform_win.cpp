// The console on Windows: wide arguments, UTF-16 to a console window and UTF-8 to a pipe or file.
#include <windows.h>

#include <direct.h>
#include <cstdio>

#include "cli/console_platform.h"
#include "text/utf8.h"

namespace quorvanex::cli {

bool OutputIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

void WriteOutput(const std::string& utf8) {
    if (OutputIsTerminal()) {
        // The console shows UTF-16 whatever its code page; WriteFile would go through the page.
        const std::wstring wide = WideFromUtf8(utf8);
        DWORD written = 0;
        WriteConsoleW(GetStdHandle(STD_OUTPUT_HANDLE), wide.data(), static_cast<DWORD>(wide.size()),
                      &written, nullptr);
        return;
    }
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
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

}  // namespace quorvanex::cli
