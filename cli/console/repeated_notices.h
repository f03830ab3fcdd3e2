// A box repeated within one exchange (a queue check failing over and over) is told once, with how
// often it came, when something else happens: the report holds the box until then.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorvanex::cli {

struct RepeatedNotice {
    std::wstring text;
    std::wstring caption;
    std::uint32_t count = 0;
};

class RepeatedNotices {
  public:
    // The box, counted with the one held when it is the same; otherwise held in its place, and
    // the one held before it comes back to be told.
    std::optional<RepeatedNotice> Add(const wchar_t* text, const wchar_t* caption);
    // The box held, to be told now; nothing when none is.
    std::optional<RepeatedNotice> Take();

  private:
    RepeatedNotice pending_;
};

// Words, and how often they came when more than once: "... (3 times)".
std::string WithCount(const std::string& words, std::uint32_t count);
// A box as a line: 'Box "caption": text', and how often it came when more than once.
std::string BoxWords(const std::string& caption, const std::string& text, std::uint32_t count = 1);

}  // namespace quorvanex::cli
