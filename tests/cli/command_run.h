// A command of the command line run in process, in a scratch folder and on the emulator's
// virtual clock: nothing waits for real time.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/console_report.h"
#include "tests/support/image_files.h"

namespace quorvanex::test_support {

// Parses the words, runs command(arguments, time) in the folder, and returns its exit code, with
// what it wrote to standard output in output.
template <typename Command>
int RunOnVirtualClock(const std::vector<std::string>& words, emulator::VirtualClock& clock,
                      const std::filesystem::path& folder, std::string& output, Command command) {
    std::string problem;
    const std::optional<cli::Arguments> arguments = cli::ParseArguments(words, problem);
    EXPECT_TRUE(arguments) << problem;
    cli::VirtualProgramClock time(clock);
    ScopedWorkingDirectory inFolder(folder);
    ::testing::internal::CaptureStdout();
    const int exitCode = command(*arguments, time);
    output = ::testing::internal::GetCapturedStdout();
    return exitCode;
}

}  // namespace quorvanex::test_support
