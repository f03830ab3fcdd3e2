// Independent runs on a POSIX system: a worker process a core, forked from this one, so that each
// starts with everything the runs share already made (a sweep's images, its update without a cut,
// the flash before it). The workers take the runs in order from a counter that they share, and
// each writes its results to a pipe of its own: the run's index and length, then its text.
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <vector>

#include "cli/rehearse/independent_runs.h"

namespace quorvanex::cli {
namespace {

using SharedCounter = std::atomic<std::uint64_t>;
// Several processes count on it through shared memory: only an atomic that never takes a lock of
// its own works there.
static_assert(SharedCounter::is_always_lock_free);

struct Header {
    std::uint64_t index;
    std::uint64_t length;
};

bool WriteWhole(int descriptor, const char* bytes, std::size_t length) {
    while (length > 0) {
        const ssize_t written = write(descriptor, bytes, length);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

// A worker's life: the runs it takes, each result written whole. It never returns.
[[noreturn]] void Work(std::size_t count, SharedCounter& next, int output,
                       const std::function<std::string(std::size_t)>& run) {
    int status = 0;
    try {
        for (std::uint64_t i; (i = next.fetch_add(1)) < count;) {
            const std::string text = run(static_cast<std::size_t>(i));
            const Header header = {i, text.size()};
            if (!WriteWhole(output, reinterpret_cast<const char*>(&header), sizeof header) ||
                !WriteWhole(output, text.data(), text.size())) {
                status = 1;
                break;
            }
        }
    } catch (...) {
        status = 1;
    }
    // Straight out: the parent's buffers and exit handlers are the parent's.
    _exit(status);
}

struct Worker {
    pid_t process = -1;
    int output = -1;
    std::string received;
};

// Takes every whole result out of what a worker sent so far.
void TakeResults(std::string& received, std::map<std::size_t, std::string>& results) {
    std::size_t at = 0;
    for (;;) {
        Header header;
        if (received.size() - at < sizeof header) {
            break;
        }
        std::memcpy(&header, received.data() + at, sizeof header);
        if (received.size() - at - sizeof header < header.length) {
            break;
        }
        results[static_cast<std::size_t>(header.index)] =
            received.substr(at + sizeof header, static_cast<std::size_t>(header.length));
        at += sizeof header + static_cast<std::size_t>(header.length);
    }
    received.erase(0, at);
}

std::vector<Worker> StartWorkers(std::size_t workers, std::size_t count, SharedCounter& next,
                                 const std::function<std::string(std::size_t)>& run) {
    std::vector<Worker> started;
    std::fflush(nullptr);
    for (std::size_t w = 0; w < workers; ++w) {
        int ends[2];
        if (pipe(ends) != 0) {
            break;
        }
        const pid_t process = fork();
        if (process == 0) {
            close(ends[0]);
            for (const Worker& other : started) {
                close(other.output);
            }
            Work(count, next, ends[1], run);
        }
        close(ends[1]);
        if (process < 0) {
            close(ends[0]);
            break;
        }
        started.push_back({process, ends[0], {}});
    }
    return started;
}

// Reads the workers' pipes until every one is closed, handing on the results in order. The wait
// has no time limit of its own: every run is an update on a virtual clock, bounded by the
// update's own limits, and a worker that ends for any reason closes its pipe.
std::size_t CollectResults(std::vector<Worker>& workers,
                           const std::function<void(std::size_t, const std::string&)>& done) {
    std::map<std::size_t, std::string> results;
    std::size_t handed = 0;
    std::vector<pollfd> open;
    for (;;) {
        open.clear();
        for (const Worker& worker : workers) {
            if (worker.output >= 0) {
                open.push_back({worker.output, POLLIN, 0});
            }
        }
        if (open.empty()) {
            return handed;
        }
        if (poll(open.data(), open.size(), -1) < 0 && errno != EINTR) {
            return handed;
        }
        for (Worker& worker : workers) {
            const auto ready = std::find_if(open.begin(), open.end(), [&](const pollfd& p) {
                return p.fd == worker.output && p.revents != 0;
            });
            if (ready == open.end()) {
                continue;
            }
            char buffer[65536];
            const ssize_t got = read(worker.output, buffer, sizeof buffer);
            if (got > 0) {
                worker.received.append(buffer, static_cast<std::size_t>(got));
                TakeResults(worker.received, results);
            } else if (got == 0 || errno != EINTR) {
                close(worker.output);
                worker.output = -1;
            }
        }
        for (auto next = results.find(handed); next != results.end(); next = results.find(handed)) {
            done(handed++, next->second);
            results.erase(next);
        }
    }
}

}  // namespace

bool RunIndependently(std::size_t count, const std::function<std::string(std::size_t)>& run,
                      const std::function<void(std::size_t, const std::string&)>& done) {
    const long cores = sysconf(_SC_NPROCESSORS_ONLN);
    const std::size_t workers = std::min<std::size_t>(count, cores > 1 ? cores : 1);
    void* shared = workers > 1 ? mmap(nullptr, sizeof(SharedCounter), PROT_READ | PROT_WRITE,
                                      MAP_SHARED | MAP_ANONYMOUS, -1, 0)
                               : MAP_FAILED;
    if (shared == MAP_FAILED) {
        return RunOneAfterTheOther(count, run, done);
    }
    SharedCounter& next = *new (shared) SharedCounter(0);
    std::vector<Worker> started = StartWorkers(workers, count, next, run);
    // The workers end when the runs do, or at once when the results are not wanted any more.
    const auto endWorkers = [&](bool stop) {
        for (Worker& worker : started) {
            if (stop) {
                kill(worker.process, SIGKILL);
            }
            if (worker.output >= 0) {
                close(worker.output);
                worker.output = -1;
            }
            int status = 0;
            while (waitpid(worker.process, &status, 0) < 0 && errno == EINTR) {
            }
        }
        munmap(shared, sizeof(SharedCounter));
    };
    std::size_t handed = 0;
    try {
        handed = started.empty() ? 0 : CollectResults(started, done);
    } catch (...) {
        endWorkers(true);
        throw;
    }
    endWorkers(false);
    if (started.empty()) {
        return RunOneAfterTheOther(count, run, done);
    }
    return handed == count;
}

}  // namespace quorvanex::cli
