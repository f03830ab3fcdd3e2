#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "cli/console/console_platform.h"
#include "cli/console/console_streams.h"

namespace quorvanex::cli {
namespace {

volatile sig_atomic_t stopRequests = 0;

void CountStopRequest(int signal) {
    // SIGTERM and SIGHUP do not wait for a second one: the program is being ended.
    stopRequests = stopRequests + (signal == SIGINT ? 1 : 2);
}

bool Write(std::FILE* stream, const std::string& utf8) {
    const bool written = std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size();
    return std::fflush(stream) == 0 && written;
}

}  // namespace

bool OutputIsTerminal() {
    return isatty(fileno(stdout)) != 0;
}

bool WriteStandardStream(StandardStream stream, const std::string& utf8) {
    return Write(stream == StandardStream::Output ? stdout : stderr, utf8);
}

void MoveUpLines(std::size_t lines) {
    WriteOutput("\x1b[" + std::to_string(lines) + "A\r");
}

bool ChangeCurrentFolder(const std::string& utf8) {
    return chdir(utf8.c_str()) == 0;
}

std::optional<std::string> AbsolutePath(const std::string& utf8) {
    if (utf8.empty() || utf8.front() == '/') {
        return utf8;
    }
    // Of any length: a folder deep enough has a path longer than PATH_MAX.
    char* folder = getcwd(nullptr, 0);
    if (folder == nullptr) {
        return std::nullopt;
    }
    const std::string absolute = std::string(folder) + "/" + utf8;
    std::free(folder);
    return absolute;
}

std::string ReadStandardInput() {
    std::string text;
    char chunk[4096];
    for (std::size_t read; (read = std::fread(chunk, 1, sizeof chunk, stdin)) > 0;) {
        text.append(chunk, read);
    }
    return text;
}

void WatchStopRequests() {
    struct sigaction action = {};
    action.sa_handler = &CountStopRequest;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
    // A unit's process goes on when the program that reads its output has ended: its writes to
    // the closed pipe fail, and must not end it.
    signal(SIGPIPE, SIG_IGN);
}

unsigned StopRequests() {
    return static_cast<unsigned>(stopRequests);
}

bool ConsoleClosing() {
    return false;
}

void StopRequestsAnswered() {}

}  // namespace quorvanex::cli
