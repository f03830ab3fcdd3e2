// Wide texts (UTF-16 on Windows, UTF-32 elsewhere) to UTF-8 and back, for file names on the
// platforms that take bytes and for what the command line prints.
#pragma once

#include <string>

namespace quorvanex {

std::string Utf8FromWide(const std::wstring& text);
// Bytes that are not UTF-8 come out as U+FFFD each.
std::wstring WideFromUtf8(const std::string& text);

}  // namespace quorvanex
