// The program's entry on Windows: wide arguments, passed on as UTF-8.
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "text/utf8.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        words.push_back(quorvanex::Utf8FromWide(argv[i]));
    }
    return quorvanex::cli::RunCommandLine(words);
}
