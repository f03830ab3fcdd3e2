// What the command line writes, on every platform: what was asked for on standard output, with a
// failure kept to be told at the command's end; errors and refusals on standard error.
#include "cli/console/console_platform.h"
#include "cli/console/console_streams.h"

namespace quorvanex::cli {
namespace {

bool outputFailed = false;

}  // namespace

bool WriteOutput(const std::string& utf8) {
    const bool written = WriteStandardStream(StandardStream::Output, utf8);
    outputFailed = outputFailed || !written;
    return written;
}

bool TakeOutputFailure() {
    const bool failed = outputFailed;
    outputFailed = false;
    return failed;
}

void WriteError(const std::string& utf8) {
    WriteStandardStream(StandardStream::Error, utf8);
}

}  // namespace quorvanex::cli
