#include "text/operator_text.h"

#include <cstdarg>
#include <cwchar>
#include <string>

namespace quorvanex {

bool FormatMessageText(MessageText& buffer, const wchar_t* format, ...) {
    va_list values;
    va_start(values, format);
    const int written = std::vswprintf(buffer, kMessageTextCapacity, format, values);
    va_end(values);
    // Runtimes disagree on what a cut text returns (-1, or the length it would have had) and on
    // whether they terminate it; either way it ends at the buffer's last character.
    if (written < 0 || static_cast<std::size_t>(written) >= kMessageTextCapacity) {
        buffer[kMessageTextCapacity - 1] = L'\0';
        return false;
    }
    return true;
}

void FormatPathMessage(MessageText& buffer, const wchar_t* format, const wchar_t* path) {
    // Every path notice leaves room for the cut mark and a file name (checked when built).
    constexpr std::size_t kPlaceholderLength = 3;  // "%ls"
    const std::size_t fixedLength = std::wcslen(format) - kPlaceholderLength;
    const std::size_t room = kMessageTextCapacity - 1 - fixedLength;
    const std::size_t pathLength = std::wcslen(path);
    if (pathLength <= room) {
        FormatMessageText(buffer, format, path);
        return;
    }
    const std::size_t keptLength = room - TextLength(kPathCutMark);
    const std::wstring shortened = kPathCutMark + std::wstring(path + pathLength - keptLength);
    FormatMessageText(buffer, format, shortened.c_str());
}

void MakeStatusText(const StatusText& line, MessageText& text) {
    // Every status text of the program fits the buffer; a longer one would be cut, never overrun
    // it.
    constexpr int kMostCharacters = static_cast<int>(kMessageTextCapacity) - 1;
    int used = 0;
    for (; line.words[used] != L'\0' && used < kMostCharacters; ++used) {
        text[used] = line.words[used];
    }
    for (; used < line.length && used < kMostCharacters; ++used) {
        text[used] = L' ';
    }
    text[used] = L'\0';
}

}  // namespace quorvanex
