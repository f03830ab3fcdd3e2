#include "cli/console/repeated_notices.h"

#include <algorithm>

namespace quorvanex::cli {

std::optional<RepeatedNotice> RepeatedNotices::Add(const wchar_t* text, const wchar_t* caption) {
    if (pending_.count > 0 && pending_.text == text && pending_.caption == caption) {
        ++pending_.count;
        return std::nullopt;
    }
    std::optional<RepeatedNotice> before = Take();
    pending_ = {text, caption, 1};
    return before;
}

std::optional<RepeatedNotice> RepeatedNotices::Take() {
    if (pending_.count == 0) {
        return std::nullopt;
    }
    RepeatedNotice taken = pending_;
    pending_.count = 0;
    return taken;
}

std::string WithCount(const std::string& words, std::uint32_t count) {
    return count > 1 ? words + " (" + std::to_string(count) + " times)" : words;
}

std::string BoxWords(const std::string& caption, const std::string& text, std::uint32_t count) {
    // A box's lines, one line of the console.
    std::string oneLine = text;
    std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
    return WithCount("Box" + (caption.empty() ? "" : " \"" + caption + "\"") +
                         (oneLine.empty() ? "" : ": " + oneLine),
                     count);
}

}  // namespace quorvanex::cli
