#include "tests/support/terminal.h"

namespace quorvanex::test_support {

std::string ScreenText(const std::vector<std::string>& rows) {
    std::string text;
    for (const std::string& row : rows) {
        text +=
            row +
            std::string(
                row.size() < TestTerminal::kColumns ? TestTerminal::kColumns - row.size() : 0, ' ');
    }
    return text;
}

}  // namespace quorvanex::test_support
