// The test's terminal on a POSIX system: a pseudo-terminal whose other end a thread reads, and the
// bytes laid out as a terminal lays them out: printable characters, carriage returns, line ends,
// the "cursor up" of the rows drawn again, and lines that wrap at the last column.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "tests/support/terminal.h"

namespace quorvanex::test_support {
namespace {

std::vector<std::string> LaidOut(const std::string& bytes, std::size_t columns) {
    std::vector<std::string> rows(1);
    std::size_t row = 0;
    std::size_t column = 0;
    bool wrapPending = false;  // the last column is written: the next character starts a new row
    const auto nextRow = [&] {
        if (++row == rows.size()) {
            rows.emplace_back();
        }
    };
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\x1b' && i + 1 < bytes.size() && bytes[i + 1] == '[') {
            std::size_t end = i + 2;
            while (end < bytes.size() && bytes[end] >= '0' && bytes[end] <= '9') {
                ++end;
            }
            const std::size_t count =
                end > i + 2 ? std::strtoul(bytes.substr(i + 2, end - i - 2).c_str(), nullptr, 10)
                            : 1;
            if (end < bytes.size() && bytes[end] == 'A') {
                row = count > row ? 0 : row - count;
                wrapPending = false;
            }
            i = end;
            continue;
        }
        if (c == '\r') {
            column = 0;
            wrapPending = false;
        } else if (c == '\n') {
            nextRow();
            wrapPending = false;
        } else if (static_cast<unsigned char>(c) >= 0x20) {
            if (wrapPending) {
                nextRow();
                column = 0;
                wrapPending = false;
            }
            std::string& text = rows[row];
            if (text.size() <= column) {
                text.resize(column + 1, ' ');
            }
            text[column] = c;
            if (column + 1 == columns) {
                wrapPending = true;
            } else {
                ++column;
            }
        }
    }
    for (std::string& text : rows) {
        text.erase(text.find_last_not_of(' ') + 1);
    }
    return rows;
}

}  // namespace

struct TestTerminal::State {
    int master = -1;
    int savedOutput = -1;
    int savedError = -1;
    std::thread reader;
    std::string bytes;
    bool given = false;
};

TestTerminal::TestTerminal() : state_(std::make_unique<State>()) {
    State& state = *state_;
    state.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (state.master < 0 || grantpt(state.master) != 0 || unlockpt(state.master) != 0) {
        std::abort();
    }
    const int terminal = open(ptsname(state.master), O_RDWR | O_NOCTTY);
    if (terminal < 0) {
        std::abort();
    }
    winsize size = {};
    size.ws_row = 24;
    size.ws_col = kColumns;
    ioctl(terminal, TIOCSWINSZ, &size);
    std::fflush(stdout);
    std::fflush(stderr);
    state.savedOutput = dup(STDOUT_FILENO);
    state.savedError = dup(STDERR_FILENO);
    dup2(terminal, STDOUT_FILENO);
    dup2(terminal, STDERR_FILENO);
    close(terminal);
    // Read as it comes, so that the terminal's buffer never fills and holds the program up; the
    // reads end when the last copy of the terminal's end is closed.
    state.reader = std::thread([&state] {
        char chunk[4096];
        for (;;) {
            const ssize_t read = ::read(state.master, chunk, sizeof chunk);
            if (read > 0) {
                state.bytes.append(chunk, static_cast<std::size_t>(read));
            } else if (read == 0 || errno != EINTR) {
                return;
            }
        }
    });
}

bool TestTerminal::Ready() const {
    return true;
}

TestTerminal::~TestTerminal() {
    Rows();
}

std::vector<std::string> TestTerminal::Rows() {
    State& state = *state_;
    if (!state.given) {
        state.given = true;
        std::fflush(stdout);
        std::fflush(stderr);
        dup2(state.savedOutput, STDOUT_FILENO);
        dup2(state.savedError, STDERR_FILENO);
        close(state.savedOutput);
        close(state.savedError);
        state.reader.join();
        close(state.master);
    }
    return LaidOut(state.bytes, kColumns);
}

}  // namespace quorvanex::test_support
