// The parent's processes on a POSIX system, with shell scripts as the units: every line arrives
// whole, in order, however it was written, and each end comes with its exit code, a crash's too.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli/update/child_processes.h"

namespace quorvanex::cli {
namespace {

TEST(SystemChildProcesses, LinesArriveWholeAndEveryEndWithItsCode) {
    const std::unique_ptr<ChildProcesses> children = SystemChildProcesses();
    // A line written in two pieces, a last line without its line end, and a crash.
    ASSERT_TRUE(children->Start(
        0, {"/bin/sh", "-c", "printf 'one\\ntw'; sleep 0.1; printf 'o\\nthree'"}, ""));
    ASSERT_TRUE(children->Start(1, {"/bin/sh", "-c", "echo fatal; exit 16"}, ""));
    ASSERT_TRUE(children->Start(2, {"/bin/sh", "-c", "echo before; kill -SEGV $$"}, ""));
    EXPECT_FALSE(children->Start(3, {}, ""));

    std::map<std::size_t, std::vector<std::string>> lines;
    std::map<std::size_t, int> ends;
    // Each wait is bounded; the scripts end within a second, and 100 waits give them ten times as
    // long before the test gives up on them.
    for (int wait = 0; wait < 100 && ends.size() < 3; ++wait) {
        for (const ChildOutput& output : children->Wait(100)) {
            if (output.ended) {
                EXPECT_EQ(ends.count(output.child), 0u) << "one end for each";
                ends[output.child] = output.exitCode;
            } else {
                EXPECT_EQ(ends.count(output.child), 0u) << "no line after the end";
                lines[output.child].push_back(output.line);
            }
        }
    }
    ASSERT_EQ(ends.size(), 3u);
    EXPECT_EQ(lines[0], (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(ends[0], 0);
    EXPECT_EQ(lines[1], std::vector<std::string>{"fatal"});
    EXPECT_EQ(ends[1], 16);
    EXPECT_EQ(lines[2], std::vector<std::string>{"before"});
    EXPECT_EQ(ends[2], 128 + 11) << "ended by SIGSEGV";
}

// The pipes that this test program holds already, inherited from whoever started it.
std::set<std::string> PipesHeldHere() {
    std::set<std::string> pipes;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        if (target.rfind("pipe:", 0) == 0) {
            pipes.insert(target);
        }
    }
    return pipes;
}

TEST(SystemChildProcesses, AChildReadsItsInputAndHoldsNoOtherPipeAndIsApartFromTheTerminal) {
    const std::set<std::string> inherited = PipesHeldHere();
    const std::unique_ptr<ChildProcesses> children = SystemChildProcesses();
    // Another child still running while the second starts: its pipes must not reach the second.
    ASSERT_TRUE(children->Start(0, {"/bin/sh", "-c", "sleep 1"}, ""));
    // Its input echoed, its error output read as its lines, every pipe it holds besides its own
    // three, and whether it leads a session of its own.
    ASSERT_TRUE(
        children->Start(1,
                        {"/bin/sh", "-c",
                         "cat; echo warned >&2; for f in /proc/$$/fd/*; do n=${f##*/}; "
                         "[ \"$n\" -gt 2 ] && readlink \"$f\" | grep '^pipe:'; done; "
                         "test \"$(cut -d' ' -f6 /proc/$$/stat)\" = \"$$\" && echo own-session"},
                        "approved lines\n"));
    std::vector<std::string> lines;
    bool ended = false;
    for (int wait = 0; wait < 100 && !ended; ++wait) {
        for (const ChildOutput& output : children->Wait(100)) {
            if (output.child == 1) {
                ended = ended || output.ended;
                if (!output.ended) {
                    lines.push_back(output.line);
                }
            }
        }
    }
    ASSERT_TRUE(ended);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), "approved lines");
    EXPECT_EQ(lines[1], "warned");
    EXPECT_EQ(lines.back(), "own-session");
    for (std::size_t i = 2; i + 1 < lines.size(); ++i) {
        EXPECT_EQ(inherited.count(lines[i]), 1u) << lines[i] << " is a pipe of the parent's";
    }
}

}  // namespace
}  // namespace quorvanex::cli
