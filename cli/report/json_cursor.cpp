#include "cli/report/json_cursor.h"

#include <charconv>
#include <cmath>

namespace quorvanex::cli {
namespace {

// The bytes that a string holds as they are: anything but the quote, the backslash, a control
// character, and the bytes of a character beyond ASCII, which are checked.
struct PlainBytes {
    bool plain[256] = {};
    constexpr PlainBytes() {
        for (int c = 0x20; c < 0x80; ++c) {
            plain[c] = c != '"' && c != '\\';
        }
    }
};
constexpr PlainBytes kPlain;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexDigit(char c) {
    if (IsDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

void AppendUtf8(std::uint32_t code, std::string& value) {
    if (code < 0x80) {
        value += static_cast<char>(code);
    } else if (code < 0x800) {
        value += static_cast<char>(0xC0 | (code >> 6));
        value += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        value += static_cast<char>(0xE0 | (code >> 12));
        value += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        value += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        value += static_cast<char>(0xF0 | (code >> 18));
        value += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        value += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        value += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

void JsonCursor::SkipBlanks() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
        ++at_;
    }
}

bool JsonCursor::Take(char c) {
    SkipBlanks();
    if (at_ < text_.size() && text_[at_] == c) {
        ++at_;
        return true;
    }
    return false;
}

bool JsonCursor::AtEnd() {
    SkipBlanks();
    return at_ == text_.size();
}

bool JsonCursor::String(std::string& value) {
    value.clear();
    if (!Take('"')) {
        return false;
    }
    while (at_ < text_.size()) {
        // The plain run up to the next character that needs a look.
        std::size_t end = at_;
        while (end < text_.size() && kPlain.plain[static_cast<unsigned char>(text_[end])]) {
            ++end;
        }
        value.append(text_.data() + at_, end - at_);
        at_ = end;
        if (at_ == text_.size()) {
            return false;
        }
        const unsigned char c = static_cast<unsigned char>(text_[at_]);
        if (c == '"') {
            ++at_;
            return true;
        }
        if (c < 0x20 || !(c == '\\' ? Escape(value) : Utf8Sequence(value))) {
            return false;
        }
    }
    return false;
}

bool JsonCursor::Escape(std::string& value) {
    if (++at_ == text_.size()) {
        return false;
    }
    const char kind = text_[at_++];
    static constexpr std::string_view kSimple = "\"\\/bfnrt";
    static constexpr std::string_view kMeant = "\"\\/\b\f\n\r\t";
    if (const std::size_t simple = kSimple.find(kind); simple != std::string_view::npos) {
        value += kMeant[simple];
        return true;
    }
    const auto unit = [this]() -> int {
        if (text_.size() - at_ < 4) {
            return -1;
        }
        int code = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = HexDigit(text_[at_ + i]);
            if (digit < 0) {
                return -1;
            }
            code = code * 16 + digit;
        }
        at_ += 4;
        return code;
    };
    if (kind != 'u') {
        return false;
    }
    const int first = unit();
    if (first < 0 || (first >= 0xDC00 && first <= 0xDFFF)) {
        return false;
    }
    if (first < 0xD800 || first > 0xDBFF) {
        AppendUtf8(static_cast<std::uint32_t>(first), value);
        return true;
    }
    // A high surrogate takes the low one of its pair, written as the next escape.
    if (text_.size() - at_ < 2 || text_[at_] != '\\' || text_[at_ + 1] != 'u') {
        return false;
    }
    at_ += 2;
    const int second = unit();
    if (second < 0xDC00 || second > 0xDFFF) {
        return false;
    }
    AppendUtf8(0x10000 + ((static_cast<std::uint32_t>(first) - 0xD800) << 10) +
                   (static_cast<std::uint32_t>(second) - 0xDC00),
               value);
    return true;
}

// One character of two to four bytes, well formed: no overlong form, no surrogate, nothing
// beyond U+10FFFF.
bool JsonCursor::Utf8Sequence(std::string& value) {
    const unsigned char lead = static_cast<unsigned char>(text_[at_]);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return false;
    }
    if (text_.size() - at_ < length) {
        return false;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = static_cast<unsigned char>(text_[at_ + i]);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) {
            return false;
        }
    }
    value.append(text_.data() + at_, length);
    at_ += length;
    return true;
}

bool JsonCursor::Digits() {
    const std::size_t start = at_;
    while (at_ < text_.size() && IsDigit(text_[at_])) {
        ++at_;
    }
    return at_ > start;
}

bool JsonCursor::Number(std::string_view& written) {
    SkipBlanks();
    const std::size_t start = at_;
    if (at_ < text_.size() && text_[at_] == '-') {
        ++at_;
    }
    if (at_ < text_.size() && text_[at_] == '0') {
        ++at_;
    } else if (at_ == text_.size() || !IsDigit(text_[at_]) || !Digits()) {
        return false;
    }
    if (at_ < text_.size() && text_[at_] == '.' && (++at_, !Digits())) {
        return false;
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
        ++at_;
        if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) {
            ++at_;
        }
        if (!Digits()) {
            return false;
        }
    }
    written = text_.substr(start, at_ - start);
    return true;
}

bool JsonCursor::Word(std::string_view word) {
    SkipBlanks();
    if (text_.substr(at_, word.size()) != word) {
        return false;
    }
    at_ += word.size();
    return true;
}

bool JsonCursor::Null() {
    return Word("null");
}

bool JsonCursor::SkipValue(int depth) {
    SkipBlanks();
    if (at_ == text_.size() || depth <= 0) {
        return false;
    }
    const char c = text_[at_];
    if (c == '{' || c == '[') {
        ++at_;
        const char close = c == '{' ? '}' : ']';
        if (Take(close)) {
            return true;
        }
        std::string key;
        do {
            if (c == '{' && (!String(key) || !Take(':'))) {
                return false;
            }
            if (!SkipValue(depth - 1)) {
                return false;
            }
        } while (Take(','));
        return Take(close);
    }
    if (c == '"') {
        std::string ignored;
        return String(ignored);
    }
    std::string_view number;
    return Word("true") || Word("false") || Word("null") || Number(number);
}

std::optional<std::uint64_t> WholeNumber(std::string_view written) {
    if (written.find_first_of(".eE") != std::string_view::npos) {
        return std::nullopt;
    }
    if (written == "-0") {
        return 0;
    }
    std::uint64_t value = 0;
    const auto [end, error] =
        std::from_chars(written.data(), written.data() + written.size(), value);
    if (error != std::errc() || end != written.data() + written.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> AnyNumber(std::string_view written) {
    double value = 0;
    const auto [end, error] =
        std::from_chars(written.data(), written.data() + written.size(), value);
    if (error != std::errc() || end != written.data() + written.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace quorvanex::cli
