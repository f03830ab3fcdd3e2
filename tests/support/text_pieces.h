// Pieces of the texts that the tests read from documents: a text without the blanks around it,
// and a text cut at each separator.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

namespace quorvanex::test_support {

inline std::string Trimmed(std::string text) {
    const auto notBlank = [](char c) { return c != ' '; };
    text.erase(text.begin(), std::find_if(text.begin(), text.end(), notBlank));
    text.erase(std::find_if(text.rbegin(), text.rend(), notBlank).base(), text.end());
    return text;
}

// Each piece trimmed; an empty piece is kept where two separators meet.
inline std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(Trimmed(text.substr(start, end - start)));
        if (end == std::string::npos) {
            return parts;
        }
        start = end + separator.size();
    }
}

}  // namespace quorvanex::test_support
