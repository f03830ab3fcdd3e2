#include "text/utf8.h"

#include <cstdint>

namespace quorvanex {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& bytes, char32_t code) {
    if (code < 0x80) {
        bytes += static_cast<char>(code);
    } else if (code < 0x800) {
        bytes += static_cast<char>(0xC0 | code >> 6);
        bytes += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        bytes += static_cast<char>(0xE0 | code >> 12);
        bytes += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        bytes += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | code >> 18);
        bytes += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        bytes += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        bytes += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void AppendWide(std::wstring& text, char32_t code) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (code >= 0x10000) {
            code -= 0x10000;
            text += static_cast<wchar_t>(0xD800 + (code >> 10));
            text += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
            return;
        }
    }
    text += static_cast<wchar_t>(code);
}

// A byte of a file name that is not UTF-8 stands as this character plus the byte.
constexpr char32_t kEscapedByte = 0xDC00;

enum class NotUtf8 { Replaced, Escaped };

std::string Utf8(const std::wstring& text, NotUtf8 notUtf8) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = static_cast<char32_t>(text[i]) & 0x1FFFFF;
        if (notUtf8 == NotUtf8::Escaped && code >= kEscapedByte + 0x80 &&
            code <= kEscapedByte + 0xFF) {
            bytes += static_cast<char>(code - kEscapedByte);
            continue;
        }
        // On Windows a character beyond the first plane comes as two halves.
        if (sizeof(wchar_t) == 2 && code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() &&
            text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<char32_t>(text[++i]) - 0xDC00);
        } else if (code >= 0xD800 && code < 0xE000) {
            code = kReplacement;
        }
        AppendUtf8(bytes, code > 0x10FFFF ? kReplacement : code);
    }
    return bytes;
}

std::wstring Wide(const std::string& text, NotUtf8 notUtf8) {
    std::wstring wide;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        const int length = lead < 0x80       ? 1
                           : lead >> 5 == 6  ? 2
                           : lead >> 4 == 14 ? 3
                           : lead >> 3 == 30 ? 4
                                             : 0;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        bool whole = length > 0 && i + length <= text.size();
        for (int k = 1; whole && k < length; ++k) {
            const auto next = static_cast<std::uint8_t>(text[i + k]);
            whole = next >> 6 == 2;
            code = code << 6 | (next & 0x3F);
        }
        // An encoding longer than needed, or of a surrogate, is not UTF-8 either.
        whole = whole && code >= (length == 1   ? 0u
                                  : length == 2 ? 0x80u
                                  : length == 3 ? 0x800u
                                                : 0x10000u);
        whole = whole && !(code >= 0xD800 && code < 0xE000) && code <= 0x10FFFF;
        if (whole) {
            AppendWide(wide, code);
            i += length;
            continue;
        }
        AppendWide(
            wide, notUtf8 == NotUtf8::Escaped && lead >= 0x80 ? kEscapedByte + lead : kReplacement);
        ++i;
    }
    return wide;
}

}  // namespace

std::string Utf8FromWide(const std::wstring& text) {
    return Utf8(text, NotUtf8::Replaced);
}

std::string Utf8WithoutTrailingBlanks(const std::wstring& text) {
    return Utf8FromWide(text.substr(0, text.find_last_not_of(L' ') + 1));
}

std::wstring WideFromUtf8(const std::string& text) {
    return Wide(text, NotUtf8::Replaced);
}

std::wstring WidePathFromUtf8(const std::string& path) {
    return Wide(path, NotUtf8::Escaped);
}

std::string Utf8PathFromWide(const std::wstring& path) {
    return Utf8(path, NotUtf8::Escaped);
}

std::string PrintableUtf8(const std::string& bytes, std::size_t limit) {
    std::wstring shown;
    for (const wchar_t c : WideFromUtf8(bytes)) {
        if (shown.size() == limit) {
            return Utf8FromWide(shown) + "...";
        }
        const bool control = c < 0x20 || (c >= 0x7F && c < 0xA0);
        shown += control || c == static_cast<wchar_t>(kReplacement) ? L'?' : c;
    }
    return Utf8FromWide(shown);
}

}  // namespace quorvanex
