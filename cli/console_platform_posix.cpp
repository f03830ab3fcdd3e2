#include <unistd.h>

#include <cstdio>
#include <string>

#include "cli/console_platform.h"

namespace quorvanex::cli {

bool OutputIsTerminal() {
    return isatty(fileno(stdout)) != 0;
}

void WriteOutput(const std::string& utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}

void MoveUpLines(std::size_t lines) {
    WriteOutput("\x1b[" + std::to_string(lines) + "A\r");
}

bool ChangeCurrentFolder(const std::string& utf8) {
    return chdir(utf8.c_str()) == 0;
}

}  // namespace quorvanex::cli
