// A command of the command line run in process, in a scratch folder and on the emulator's
// virtual clock: nothing waits for real time.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/arguments.h"
#include "cli/console/console_report.h"
#include "cli/json_line.h"
#include "emulator/virtual_program_clock.h"
#include "seam/binary_file.h"
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
    emulator::VirtualProgramClock time(clock);
    ScopedWorkingDirectory inFolder(folder);
    ::testing::internal::CaptureStdout();
    const int exitCode = command(*arguments, time);
    output = ::testing::internal::GetCapturedStdout();
    return exitCode;
}

// Each line of the text as one JSON object; a line that is not one fails the test.
inline std::vector<cli::Json> JsonLines(const std::string& text) {
    std::vector<cli::Json> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::optional<cli::Json> json = cli::ReadJsonObject(text.substr(start, end - start));
        EXPECT_TRUE(json) << text.substr(start, end - start);
        lines.push_back(json.value_or(cli::Json::object()));
    }
    return lines;
}

// The lines of records.jsonl in the folder.
inline std::vector<cli::Json> RecordsIn(const ScratchFolder& folder) {
    std::string lines;
    ReadWholeFile(folder.PathOf("records.jsonl").c_str(), lines);
    return JsonLines(lines);
}

}  // namespace quorvanex::test_support
