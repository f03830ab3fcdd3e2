#include "cli/cli_texts.h"

namespace quorvanex::cli {

std::string Said(const CommandLineText& text, std::initializer_list<std::string> values) {
    std::string said = text.format;
    std::size_t at = 0;
    for (const std::string& value : values) {
        at = said.find("{}", at);
        if (at == std::string::npos) {
            break;
        }
        said.replace(at, 2, value);
        at += value.size();
    }
    return said;
}

}  // namespace quorvanex::cli
