// Texts with values: a placeholder in a text stands where a value goes, and the values fill them
// in order. The command line's texts mark a value with "{}"; the programs' wide texts with "%ls",
// as their printf formats do. How many placeholders a text has is counted when the program is
// built and is part of the text's type, as a status text's length is checked then: a text given
// more or fewer values than it has places does not build.
#pragma once

#include <cstddef>
#include <string>
#include <type_traits>

namespace quorvanex {

template <typename Char>
struct Placeholder;
template <>
struct Placeholder<char> {
    static constexpr const char* kMark = "{}";
};
template <>
struct Placeholder<wchar_t> {
    static constexpr const wchar_t* kMark = L"%ls";
};

template <typename Char>
constexpr std::size_t PlaceholderCount(const Char* text) {
    const Char* mark = Placeholder<Char>::kMark;
    std::size_t markLength = 0;
    while (mark[markLength] != Char{}) {
        ++markLength;
    }
    std::size_t count = 0;
    for (std::size_t at = 0; text[at] != Char{};) {
        std::size_t matched = 0;
        while (matched < markLength && text[at + matched] == mark[matched]) {
            ++matched;
        }
        count += matched == markLength ? 1 : 0;
        at += matched == markLength ? markLength : 1;
    }
    return count;
}

template <typename Char, std::size_t ValueCount>
struct TextWithValues {
    const Char* format;
};

// The constant of a text of a list, with its placeholders counted from its words.
#define QUORVANEX_TEXT_WITH_VALUES_CONSTANT(name, text)                                  \
    inline constexpr ::quorvanex::TextWithValues<std::remove_cvref_t<decltype(text[0])>, \
                                                 ::quorvanex::PlaceholderCount(text)>    \
        name = {text};

// The format with each placeholder replaced by the next of the values, in order.
template <typename Char>
std::basic_string<Char> FillPlaceholders(const Char* format, const std::basic_string<Char>* values,
                                         std::size_t valueCount);

// The text with its values: exactly one for each placeholder. One function for each kind of
// character, so that a braced list of anything that makes a string of it (a literal, a const char*
// among them) is taken as the values: a compiler may not deduce through the list's elements.
template <std::size_t ValueCount>
std::string Said(const TextWithValues<char, ValueCount>& text,
                 const std::string (&values)[ValueCount]) {
    return FillPlaceholders(text.format, values, ValueCount);
}
template <std::size_t ValueCount>
std::wstring Said(const TextWithValues<wchar_t, ValueCount>& text,
                  const std::wstring (&values)[ValueCount]) {
    return FillPlaceholders(text.format, values, ValueCount);
}

// A text without a value, whole.
template <typename Char>
std::basic_string<Char> Said(const TextWithValues<Char, 0>& text) {
    return text.format;
}

}  // namespace quorvanex
