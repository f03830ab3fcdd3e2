// Formatting of the texts that the operator reads, into the program's 80-character buffers.
#pragma once

#include <cstddef>

namespace quorvanex {

// 79 characters and the terminator.
inline constexpr std::size_t kMessageTextCapacity = 80;
using MessageText = wchar_t[kMessageTextCapacity];

// Formats into the buffer like swprintf (%ls takes a wide string on every platform). The result is
// always terminated; false when the text had to be cut to fit.
bool FormatMessageText(MessageText& buffer, const wchar_t* format, ...);

// Formats a text whose one %ls is a file path. A path too long for the buffer keeps its end, the
// file's name, behind a leading "...", so the text stays whole and shows that the path was cut.
void FormatPathMessage(MessageText& buffer, const wchar_t* format, const wchar_t* path);

// A warning notice whose text is the format with the path, formatted as above.
void ShowPathNotice(const wchar_t* format, const wchar_t* path, const wchar_t* caption);

}  // namespace quorvanex
