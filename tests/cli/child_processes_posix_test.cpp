// The parent's processes on a POSIX system, with shell scripts as the units: every line arrives
// whole, in order, however it was written, and each end comes with its exit code, a crash's too.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "cli/child_processes.h"

namespace quorvanex::cli {
namespace {

TEST(SystemChildProcesses, LinesArriveWholeAndEveryEndWithItsCode) {
    const std::unique_ptr<ChildProcesses> children = SystemChildProcesses();
    // A line written in two pieces, a last line without its line end, and a crash.
    ASSERT_TRUE(
        children->Start(0, {"/bin/sh", "-c", "printf 'one\\ntw'; sleep 0.1; printf 'o\\nthree'"}));
    ASSERT_TRUE(children->Start(1, {"/bin/sh", "-c", "echo fatal; exit 16"}));
    ASSERT_TRUE(children->Start(2, {"/bin/sh", "-c", "echo before; kill -SEGV $$"}));
    EXPECT_FALSE(children->Start(3, {}));

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

}  // namespace
}  // namespace quorvanex::cli
