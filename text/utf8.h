// Wide texts (UTF-16 on Windows, UTF-32 elsewhere) to UTF-8 and back, for file names on the
// platforms that take bytes and for what the command line prints.
#pragma once

#include <cstddef>
#include <string>

namespace quorvanex {

std::string Utf8FromWide(const std::wstring& text);
// A painted text or a box's as words to print: the blanks that pad it to its row dropped.
std::string Utf8WithoutTrailingBlanks(const std::wstring& text);
// Bytes that are not UTF-8 come out as U+FFFD each.
std::wstring WideFromUtf8(const std::string& text);

// File names, which a POSIX system keeps as bytes that need not be UTF-8: a byte that is not UTF-8
// comes out as a character of its own, U+DC80 to U+DCFF, which goes back to the same byte, so that
// a name goes to a wide path and back whole whatever bytes it holds.
std::wstring WidePathFromUtf8(const std::string& path);
std::string Utf8PathFromWide(const std::wstring& path);

// Bytes of any kind (a line of a file that is not text) as a text that may be shown: a control
// character or a byte that is not UTF-8 as '?' each, and more than limit characters cut there,
// with "..." after them.
std::string PrintableUtf8(const std::string& bytes, std::size_t limit);

}  // namespace quorvanex
