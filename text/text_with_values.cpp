#include "text/text_with_values.h"

namespace quorvanex {

template <typename Char>
std::basic_string<Char> FillPlaceholders(const Char* format, const std::basic_string<Char>* values,
                                         std::size_t valueCount) {
    const std::basic_string<Char> mark = Placeholder<Char>::kMark;
    std::basic_string<Char> text = format;
    std::size_t at = 0;
    for (std::size_t value = 0; value < valueCount; ++value) {
        at = text.find(mark, at);
        if (at == std::basic_string<Char>::npos) {
            break;
        }
        text.replace(at, mark.size(), values[value]);
        at += values[value].size();
    }
    return text;
}

template std::string FillPlaceholders(const char*, const std::string*, std::size_t);
template std::wstring FillPlaceholders(const wchar_t*, const std::wstring*, std::size_t);

}  // namespace quorvanex
