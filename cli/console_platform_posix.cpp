#include <unistd.h>

#include <cstdio>

#include "cli/console_platform.h"

namespace quorvanex::cli {

bool OutputIsTerminal() {
    return isatty(fileno(stdout)) != 0;
}

void WriteOutput(const std::string& utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}

bool ChangeCurrentFolder(const std::string& utf8) {
    return chdir(utf8.c_str()) == 0;
}

}  // namespace quorvanex::cli
