// The test's terminal on Windows: a console screen buffer of the process's console (one is made
// when the process has none), given as standard output and error, and its characters read back.
#include <windows.h>

#include "tests/support/terminal.h"
#include "text/utf8.h"

namespace quorvanex::test_support {
namespace {

// Tall enough that no test's output scrolls off the buffer.
constexpr SHORT kRows = 500;

}  // namespace

struct TestTerminal::State {
    HANDLE buffer = INVALID_HANDLE_VALUE;
    HANDLE savedOutput = nullptr;
    HANDLE savedError = nullptr;
    bool given = false;
    std::vector<std::string> rows;
};

TestTerminal::TestTerminal() : state_(std::make_unique<State>()) {
    State& state = *state_;
    // A console of its own, with a window: without one the system (or Wine without a display)
    // gives the process none whose screen can be read.
    if (GetConsoleWindow() == nullptr) {
        FreeConsole();
        AllocConsole();
    }
    state.buffer =
        CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
    if (state.buffer != INVALID_HANDLE_VALUE &&
        !SetConsoleScreenBufferSize(state.buffer, {static_cast<SHORT>(kColumns), kRows})) {
        CloseHandle(state.buffer);
        state.buffer = INVALID_HANDLE_VALUE;
    }
    if (state.buffer == INVALID_HANDLE_VALUE) {
        state.given = true;
        return;
    }
    state.savedOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    state.savedError = GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, state.buffer);
    SetStdHandle(STD_ERROR_HANDLE, state.buffer);
}

bool TestTerminal::Ready() const {
    return state_->buffer != INVALID_HANDLE_VALUE;
}

TestTerminal::~TestTerminal() {
    Rows();
}

std::vector<std::string> TestTerminal::Rows() {
    State& state = *state_;
    if (state.given) {
        return state.rows;
    }
    state.given = true;
    SetStdHandle(STD_OUTPUT_HANDLE, state.savedOutput);
    SetStdHandle(STD_ERROR_HANDLE, state.savedError);
    CONSOLE_SCREEN_BUFFER_INFO screen;
    const SHORT used = GetConsoleScreenBufferInfo(state.buffer, &screen)
                           ? static_cast<SHORT>(screen.dwCursorPosition.Y + 1)
                           : kRows;
    for (SHORT y = 0; y < used; ++y) {
        wchar_t row[kColumns];
        DWORD read = 0;
        ReadConsoleOutputCharacterW(state.buffer, row, kColumns, {0, y}, &read);
        std::string text = Utf8FromWide(std::wstring(row, read));
        text.erase(text.find_last_not_of(' ') + 1);
        state.rows.push_back(text);
    }
    CloseHandle(state.buffer);
    return state.rows;
}

}  // namespace quorvanex::test_support
