// Child processes on a POSIX system: fork and exec, a pipe for each child's standard output and
// error, polled all together, and one for its standard input. Every pipe is closed on exec, so
// that no child holds another's open; each child is a session of its own, apart from the terminal,
// whose Ctrl-C and hang-up reach the parent alone.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <map>

#include "cli/update/child_processes.h"

namespace quorvanex::cli {
namespace {

// A child that has closed its output ends a moment later; how often its end is looked for.
constexpr std::int64_t kEndLookMilliseconds = 10;

class PosixChildProcesses final : public ChildProcesses {
  public:
    PosixChildProcesses() { signal(SIGPIPE, SIG_IGN); }

    ~PosixChildProcesses() override {
        // Whatever still runs when the parent gives up is ended, and every child reaped.
        for (auto& [child, running] : running_) {
            if (running.output >= 0) {
                close(running.output);
            }
            kill(running.process, SIGKILL);
            waitpid(running.process, nullptr, 0);
        }
    }

    bool Start(std::size_t child, const std::vector<std::string>& words,
               const std::string& standardInput) override {
        int output[2];
        int input[2];
        if (words.empty() || pipe2(output, O_CLOEXEC) != 0) {
            return false;
        }
        if (pipe2(input, O_CLOEXEC) != 0) {
            close(output[0]);
            close(output[1]);
            return false;
        }
        std::vector<char*> argv;
        for (const std::string& word : words) {
            argv.push_back(const_cast<char*>(word.c_str()));
        }
        argv.push_back(nullptr);
        const pid_t process = fork();
        if (process == 0) {
            setsid();
            // dup2 leaves the copies open across exec; the originals close with it.
            dup2(input[0], STDIN_FILENO);
            dup2(output[1], STDOUT_FILENO);
            dup2(output[1], STDERR_FILENO);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(output[1]);
        close(input[0]);
        if (process > 0) {
            // A few lines of text fit the pipe whole: the write does not wait for the child. A
            // child that has ended already is not a reason to stop the parent (SIGPIPE).
            const ssize_t written = write(input[1], standardInput.data(), standardInput.size());
            (void)written;
        }
        close(input[1]);
        if (process < 0) {
            close(output[0]);
            return false;
        }
        running_[child] = {process, output[0], {}};
        return true;
    }

    std::vector<ChildOutput> Wait(std::uint32_t milliseconds) override {
        std::vector<ChildOutput> outputs;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        for (;;) {
            std::vector<pollfd> polled;
            std::vector<std::size_t> children;
            for (auto& [child, running] : running_) {
                if (running.output >= 0) {
                    polled.push_back({running.output, POLLIN, 0});
                    children.push_back(child);
                }
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            // With every output closed, only the ends are awaited: looked for again soon.
            const int timeout = static_cast<int>(std::max<std::int64_t>(
                0, polled.empty() ? std::min<std::int64_t>(left.count(), kEndLookMilliseconds)
                                  : left.count()));
            if (poll(polled.data(), polled.size(), timeout) > 0) {
                for (std::size_t i = 0; i < polled.size(); ++i) {
                    if (polled[i].revents != 0) {
                        Read(children[i], outputs);
                    }
                }
            }
            Reap(outputs);
            if (!outputs.empty() || running_.empty() ||
                std::chrono::steady_clock::now() >= deadline) {
                return outputs;
            }
        }
    }

    void End(std::size_t child) override {
        const auto found = running_.find(child);
        if (found != running_.end()) {
            kill(found->second.process, SIGKILL);
        }
    }

    void Leave(std::size_t child) override {
        const auto found = running_.find(child);
        if (found == running_.end()) {
            return;
        }
        // Its writes to the closed pipe fail from now on, which it goes on after (SIGPIPE is
        // ignored in the units' processes).
        if (found->second.output >= 0) {
            close(found->second.output);
        }
        running_.erase(found);
    }

  private:
    struct Running {
        pid_t process;
        int output;  // -1 once the child has closed it
        ChildOutputLines lines;
    };

    // Children whose output has ended, once they have ended too.
    void Reap(std::vector<ChildOutput>& outputs) {
        for (auto it = running_.begin(); it != running_.end();) {
            int status = 0;
            if (it->second.output < 0 && waitpid(it->second.process, &status, WNOHANG) > 0) {
                const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                outputs.push_back({it->first, true, {}, code});
                it = running_.erase(it);
            } else {
                ++it;
            }
        }
    }

    void Read(std::size_t child, std::vector<ChildOutput>& outputs) {
        Running& running = running_[child];
        char chunk[4096];
        const ssize_t read = ::read(running.output, chunk, sizeof chunk);
        if (read < 0 && errno == EINTR) {
            return;
        }
        if (read <= 0) {
            close(running.output);
            running.output = -1;
            running.lines.Close(child, outputs);
            return;
        }
        running.lines.Add(child, chunk, static_cast<std::size_t>(read), outputs);
    }

    std::map<std::size_t, Running> running_;
};

}  // namespace

std::unique_ptr<ChildProcesses> SystemChildProcesses() {
    return std::make_unique<PosixChildProcesses>();
}

std::string ThisProgramPath() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace quorvanex::cli
