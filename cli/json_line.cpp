#include "cli/json_line.h"

#include <cstdio>

namespace quorvanex::cli {

std::string JsonString(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                quoted += "\\\"";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            case '\n':
                quoted += "\\n";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    quoted += escaped;
                } else {
                    quoted += c;
                }
        }
    }
    return quoted + "\"";
}

JsonLine::JsonLine(const char* event) {
    if (event != nullptr) {
        Text("event", event);
    }
}

void JsonLine::Key(const char* key) {
    if (text_.size() > 1) {
        text_ += ",";
    }
    text_ += JsonString(key) + ":";
}

JsonLine& JsonLine::Text(const char* key, const std::string& value) {
    Key(key);
    text_ += JsonString(value);
    return *this;
}

JsonLine& JsonLine::Count(const char* key, std::uint64_t value) {
    Key(key);
    text_ += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::Decimal(const char* key, double value, int places) {
    Key(key);
    char number[48];
    std::snprintf(number, sizeof number, "%.*f", places, value);
    text_ += number;
    return *this;
}

JsonLine& JsonLine::Boolean(const char* key, bool value) {
    Key(key);
    text_ += value ? "true" : "false";
    return *this;
}

JsonLine& JsonLine::Null(const char* key) {
    Key(key);
    text_ += "null";
    return *this;
}

JsonLine& JsonLine::Raw(const char* key, const std::string& json) {
    Key(key);
    text_ += json;
    return *this;
}

}  // namespace quorvanex::cli
