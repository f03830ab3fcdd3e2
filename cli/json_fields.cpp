#include "cli/json_fields.h"

#include <cstdlib>

namespace quorvanex::cli {
namespace {

class Reader {
  public:
    explicit Reader(const std::string& text) : text_(text) {}

    std::optional<JsonFields> Object() {
        JsonFields fields;
        Blanks();
        if (!Take('{')) {
            return std::nullopt;
        }
        Blanks();
        if (Take('}')) {
            return End(fields);
        }
        for (;;) {
            Blanks();
            std::string key;
            if (!String(key)) {
                return std::nullopt;
            }
            Blanks();
            if (!Take(':')) {
                return std::nullopt;
            }
            Blanks();
            std::string value;
            if (!Value(value)) {
                return std::nullopt;
            }
            fields[key] = value;
            Blanks();
            if (Take('}')) {
                return End(fields);
            }
            if (!Take(',')) {
                return std::nullopt;
            }
        }
    }

  private:
    std::optional<JsonFields> End(JsonFields& fields) {
        Blanks();
        return at_ == text_.size() ? std::optional(fields) : std::nullopt;
    }

    bool Take(char c) {
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    void Blanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\r' || text_[at_] == '\n')) {
            ++at_;
        }
    }

    // A string, its escapes undone; \u escapes of the Basic Multilingual Plane as UTF-8.
    bool String(std::string& out) {
        if (!Take('"')) {
            return false;
        }
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') {
                return true;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= text_.size()) {
                return false;
            }
            const char escaped = text_[at_++];
            switch (escaped) {
                case 'n':
                    out += '\n';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 'u': {
                    if (at_ + 4 > text_.size()) {
                        return false;
                    }
                    const unsigned long code =
                        std::strtoul(text_.substr(at_, 4).c_str(), nullptr, 16);
                    at_ += 4;
                    if (code < 0x80) {
                        out += static_cast<char>(code);
                    } else if (code < 0x800) {
                        out += static_cast<char>(0xC0 | (code >> 6));
                        out += static_cast<char>(0x80 | (code & 0x3F));
                    } else {
                        out += static_cast<char>(0xE0 | (code >> 12));
                        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                        out += static_cast<char>(0x80 | (code & 0x3F));
                    }
                    break;
                }
                default:
                    out += escaped;  // \" \\ \/
            }
        }
        return false;
    }

    // Any value; arrays and objects as their text, strings inside them passed over whole.
    bool Value(std::string& out) {
        if (at_ < text_.size() && text_[at_] == '"') {
            return String(out);
        }
        const std::size_t start = at_;
        int depth = 0;
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '"') {
                std::string skipped;
                if (!String(skipped)) {
                    return false;
                }
                continue;
            }
            if (c == '[' || c == '{') {
                ++depth;
            } else if (c == ']' || c == '}') {
                if (depth == 0) {
                    break;
                }
                --depth;
            } else if (c == ',' && depth == 0) {
                break;
            }
            ++at_;
        }
        out = text_.substr(start, at_ - start);
        while (!out.empty() && out.back() == ' ') {
            out.pop_back();
        }
        return depth == 0 && !out.empty();
    }

    const std::string& text_;
    std::size_t at_ = 0;
};

}  // namespace

std::optional<JsonFields> ReadJsonFields(const std::string& line) {
    return Reader(line).Object();
}

}  // namespace quorvanex::cli
