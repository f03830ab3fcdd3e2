// The command line's files on a POSIX system where only such a system can make them: a disk that
// fills (the process's file size limit cuts a write short as a full disk does), standard output on
// a full device, a current folder whose name is not UTF-8, and one whose path is longer than
// PATH_MAX; a report's file on a full disk, and a pipe named as a file.
#include <fcntl.h>
#include <signal.h>
#include <stdio_ext.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/console/console_platform.h"
#include "cli/exit_codes.h"
#include "cli/json_line.h"
#include "cli/update/unit_record.h"
#include "seam/binary_file.h"
#include "tests/support/image_files.h"
#include "tests/support/process_state.h"
#include "text/utf8.h"

namespace quorvanex::cli {
namespace {

using test_support::Bytes;

// Writes beyond this size fail as on a full disk: a write that reaches it is cut short there.
class DiskFullAt {
  public:
    explicit DiskFullAt(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        // A write at the limit fails with an error instead of ending the process.
        previous_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~DiskFullAt() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previous_);
    }
    DiskFullAt(const DiskFullAt&) = delete;
    DiskFullAt& operator=(const DiskFullAt&) = delete;

  private:
    rlimit saved_ = {};
    void (*previous_)(int) = nullptr;
};

std::string Contents(const std::filesystem::path& path) {
    std::string bytes;
    ReadWholeFile(WideFromUtf8(path.string()).c_str(), bytes);
    return bytes;
}

TEST(RecordFileOnAFullDisk, AWriteCutShortIsUndoneAndTheCheckBeforehandReallyWrites) {
    test_support::ScratchFolder folder;
    const std::filesystem::path path = folder.Path() / "records.jsonl";
    const RecordFile records(path.string());
    UnitRecord record;
    record.run = "station-3";
    ASSERT_TRUE(records.Append(record));
    const std::string before = Contents(path);
    {
        const DiskFullAt full(before.size() + 10);
        EXPECT_FALSE(records.Usable()) << "a check that writes nothing passes on a full disk";
        record.device = 1;
        EXPECT_FALSE(records.Append(record));
    }
    EXPECT_EQ(Contents(path), before) << "the line cut short is taken away again";
    // The next run's first line stands whole on its own line.
    record.device = 2;
    ASSERT_TRUE(records.Append(record));
    const std::string after = Contents(path);
    ASSERT_EQ(after.rfind(before, 0), 0u);
    const std::optional<Json> added =
        ReadJsonObject(after.substr(before.size(), after.size() - before.size() - 1));
    ASSERT_TRUE(added) << after;
    EXPECT_EQ((*added)["device"], 2);
}

// Runs the command line's words from the folder given, coming back to the folder it was in.
// The folder is held open to come back to: its path may be too long to be read.
int RunFrom(const std::filesystem::path& folder, const std::vector<std::string>& words,
            std::string& errors) {
    const int back = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (back < 0 || chdir(folder.c_str()) != 0) {
        ADD_FAILURE() << "cannot enter " << folder;
        return -1;
    }
    ::testing::internal::CaptureStderr();
    const int exitCode = RunCommandLine(words);
    errors = ::testing::internal::GetCapturedStderr();
    test_support::ResetProcessState();
    EXPECT_EQ(fchdir(back), 0);
    close(back);
    return exitCode;
}

TEST(StandardOutput, AWriteErrorIsToldAndTheExitCodeIsNotZero) {
    test_support::ScratchFolder folder;
    folder.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1A65", Bytes(300, 2)));
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int full = open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    dup2(full, STDOUT_FILENO);
    close(full);
    std::string errors;
    const int exitCode = RunFrom(folder.Path(), {"check", "--sums"}, errors);
    // What could not be written is dropped, not written later to the test's own output.
    __fpurge(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::clearerr(stdout);
    EXPECT_NE(exitCode, kExitDone);
    EXPECT_NE(errors.find("Standard output could not be written"), std::string::npos) << errors;
}

// A scenario named relatively, and in the image folder one of the same name that says something
// else: the command reads the one of the current folder, or says that it cannot, never the other.
void ExpectScenarioOfTheCurrentFolder(const std::filesystem::path& current,
                                      const test_support::ScratchFolder& images) {
    std::string errors;
    const int exitCode = RunFrom(
        current, {"rehearse", images.Path().string(), "--scenario", "scenario.txt"}, errors);
    EXPECT_EQ(errors.find("line 1: other-folder"), std::string::npos)
        << "the image folder's scenario was read: " << errors;
    EXPECT_TRUE(exitCode == kExitDone || errors.find("cannot be read") != std::string::npos)
        << exitCode << " " << errors;
}

void WriteText(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr) << path;
    std::fputs(text.c_str(), file);
    std::fclose(file);
}

TEST(RelativeNames, AreTakenFromAFolderWhoseNameIsNotUtf8) {
    test_support::ScratchFolder images;
    images.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1A65", Bytes(300, 2)));
    WriteText((images.Path() / "scenario.txt").string(), "other-folder\n");
    test_support::ScratchFolder here;
    const std::filesystem::path odd = here.Path() / std::string("lot-\xff\xfe-7");
    std::filesystem::create_directory(odd);
    WriteText((odd / "scenario.txt").string(), "device 2026\n");
    std::string errors;
    EXPECT_EQ(
        RunFrom(odd, {"rehearse", images.Path().string(), "--scenario", "scenario.txt"}, errors),
        kExitDone)
        << errors;
}

TEST(RelativeNames, AreNeverTakenFromTheImageFolderWhenTheCurrentPathIsTooLong) {
    test_support::ScratchFolder images;
    images.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1A65", Bytes(300, 2)));
    WriteText((images.Path() / "scenario.txt").string(), "other-folder\n");
    test_support::ScratchFolder here;
    // Folders within folders, entered one at a time, until the path is longer than PATH_MAX.
    const std::string name(200, 'd');
    const test_support::ScopedWorkingDirectory back(std::filesystem::current_path());
    ASSERT_EQ(chdir(here.Path().c_str()), 0);
    int depth = 0;
    for (; depth * (name.size() + 1) <= PATH_MAX; ++depth) {
        ASSERT_EQ(mkdir(name.c_str(), 0700), 0);
        ASSERT_EQ(chdir(name.c_str()), 0);
    }
    WriteText("scenario.txt", "device 2026\n");
    ExpectScenarioOfTheCurrentFolder(".", images);
    // Taken away from the deepest up, each by its short name: their whole paths are too long.
    unlink("scenario.txt");
    for (; depth > 0; --depth) {
        ASSERT_EQ(chdir(".."), 0);
        ASSERT_EQ(rmdir(name.c_str()), 0);
    }
}

TEST(RelativeNames, AreRefusedWhenTheCurrentFolderHasNoPathAnyMore) {
    test_support::ScratchFolder images;
    images.Write("QUORVANEX-FPGA-2.45-1013.bin", test_support::ImageBytes("1A65", Bytes(300, 2)));
    WriteText((images.Path() / "scenario.txt").string(), "other-folder\n");
    test_support::ScratchFolder here;
    const std::filesystem::path gone = here.Path() / "gone";
    std::filesystem::create_directory(gone);
    const test_support::ScopedWorkingDirectory back(std::filesystem::current_path());
    ASSERT_EQ(chdir(gone.c_str()), 0);
    ASSERT_EQ(rmdir(gone.c_str()), 0);
    std::string errors;
    EXPECT_EQ(
        RunFrom(".", {"rehearse", images.Path().string(), "--scenario", "scenario.txt"}, errors),
        kExitUsage);
    EXPECT_NE(errors.find("The path of the current folder cannot be read, so scenario.txt cannot "
                          "be found from it: give its whole path."),
              std::string::npos)
        << errors;
}

TEST(ReportFiles, APipeIsNoRecordFileAndAFullDiskLeavesTheLastReportAsItWas) {
    test_support::ScratchFolder folder;
    const std::string records = (folder.Path() / "records.jsonl").string();
    const std::string pipe = (folder.Path() / "pipe").string();
    const std::string old = (folder.Path() / "shift.csv").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    WriteText(old, "the last shift's\n");
    std::string lines;
    for (int unit = 0; unit < 2000; ++unit) {
        lines += R"({"time":"2026-12-08T06:00:10Z","run":"station-1","run_id":"a","device":)" +
                 std::to_string(unit) +
                 R"(,"product":"QUORVANEX","images":[],"outcome":"done","fatal_code":null,)"
                 R"("seconds":4.0,"frames":568,"resends":0})"
                 "\n";
    }
    WriteText(records, lines);
    std::string errors;
    // Named as a record file, or as the file to write: refused at once, never waited on.
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"report", pipe}, {"report", records, "--csv", pipe}}) {
        EXPECT_EQ(RunFrom(folder.Path(), words, errors), kExitUsage);
        EXPECT_EQ(errors, pipe + " is a folder, a pipe or a device, not a file.\n");
    }
    {
        const DiskFullAt full(lines.size() / 2);
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(RunFrom(folder.Path(), {"report", records, "--csv", old}, errors), kExitUsage);
        ::testing::internal::GetCapturedStdout();
    }
    EXPECT_EQ(errors, "The file " + old + " could not be written whole, and was left as it was.\n");
    EXPECT_EQ(Contents(old), "the last shift's\n");
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        EXPECT_EQ(entry.path().string().find(".part-"), std::string::npos) << entry.path();
    }
}

}  // namespace
}  // namespace quorvanex::cli
