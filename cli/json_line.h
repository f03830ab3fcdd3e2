// One JSON object on one line, as the command line's --json output and its records are written.
#pragma once

#include <cstdint>
#include <string>

namespace quorvanex::cli {

// A string as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);

class JsonLine {
  public:
    // Objects of the output begin with the event they tell; a record has none.
    explicit JsonLine(const char* event = nullptr);

    JsonLine& Text(const char* key, const std::string& value);
    JsonLine& Count(const char* key, std::uint64_t value);
    JsonLine& Decimal(const char* key, double value, int places);
    JsonLine& Boolean(const char* key, bool value);
    JsonLine& Null(const char* key);
    // A value already written as JSON: an array or an object.
    JsonLine& Raw(const char* key, const std::string& json);

    // The object, closed; with a line feed when it is a line of its own.
    std::string Object() const { return text_ + "}"; }
    std::string Line() const { return Object() + "\n"; }

  private:
    void Key(const char* key);

    std::string text_ = "{";
};

}  // namespace quorvanex::cli
