#include "cli/exit_codes.h"

#include <sstream>
#include <vector>

#include "update/fatal_stop.h"

namespace quorvanex::cli {
namespace {

// The help's lines are 88 characters at most, words never split.
constexpr std::size_t kHelpWidth = 88;

struct ExitCodeRow {
    ExitCode code;
    const char* words;
};

constexpr ExitCodeRow kExitCodeRows[] = {
#define QUORVANEX_EXIT_CODE_ROW(name, code, words) {name, words},
    QUORVANEX_EXIT_CODES(QUORVANEX_EXIT_CODE_ROW)
#undef QUORVANEX_EXIT_CODE_ROW
};

// The words in lines of the width given at most, never split; the last words given whole kept
// on one line, as the order of the codes reads best.
std::string Wrapped(const std::string& text, const std::string& kept, std::size_t width) {
    std::istringstream split(text);
    std::vector<std::string> words;
    for (std::string word; split >> word;) {
        words.push_back(word);
    }
    words.push_back(kept);
    std::string wrapped;
    std::string line;
    for (const std::string& word : words) {
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            wrapped += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return wrapped + line + "\n";
}

}  // namespace

std::string ExitCodesParagraph() {
    std::string text = "Exit codes:";
    for (const ExitCodeRow& row : kExitCodeRows) {
        text += (row.code == kExitDone ? " " : "; ") + std::to_string(row.code) + " " + row.words;
    }
    std::string fatal;
    for (const FatalCode code : kFatalCodesOfTheSteps) {
        fatal += (fatal.empty() ? "" : ", ") + std::to_string(kExitFatalBase + code);
    }
    std::string order;
    for (const ExitCode code : kExitCodesWhenSeveralApply) {
        order += (order.empty() ? "" : " before ") + std::to_string(code);
    }
    return Wrapped(text + " (" + fatal + "). When several apply:", order + ".", kHelpWidth);
}

}  // namespace quorvanex::cli
