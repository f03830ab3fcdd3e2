// A named pipe where a file belongs: nobody writes to it, so opening it to read would wait for
// ever. It is told as what it is, at once.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "cli/command_line.h"
#include "cli/console/console_platform.h"
#include "tests/support/image_files.h"

namespace quorvanex::cli {
namespace {

TEST(NamedPipe, NamedLikeTheImageOrGivenAsTheScenarioIsToldAndNeverWaitedFor) {
    test_support::ScratchFolder folder;
    const std::string image = (folder.Path() / "QUORVANEX-FPGA-2.45-1013.bin").string();
    const std::string scenario = (folder.Path() / "scenario.txt").string();
    ASSERT_EQ(mkfifo(image.c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(scenario.c_str(), 0600), 0);
    const test_support::ScopedWorkingDirectory stay(folder.Path());
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RunCommandLine({"check", folder.Path().string()}), 3);
    EXPECT_EQ(RunCommandLine({"rehearse", "--scenario", "scenario.txt"}), 3)
        << "the image is refused first";
    const std::string output = ::testing::internal::GetCapturedStdout();
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(output.find("not a file (a folder, a pipe or a device)"), std::string::npos)
        << output;

    std::remove(image.c_str());
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1A65", {1, 2, 3}));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RunCommandLine({"rehearse", "--scenario", "scenario.txt"}), 2);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find(
                  "is a folder, a pipe or a device, not a file."),
              std::string::npos);
}

}  // namespace
}  // namespace quorvanex::cli
