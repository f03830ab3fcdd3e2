// The JSON of the command line's --json output and of its records: one object on one line, its
// event first, written and read with a well-kept JSON library.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Declared only: the whole library costs every file that includes it seconds to compile, and most
// files here only pass a line along. The files that read or build an object include it themselves.
#include <nlohmann/json_fwd.hpp>

#include "cli/events.h"

namespace quorvanex::cli {

// Keeps the fields in the order they were added: the event first, as a reader's eye expects.
using Json = nlohmann::ordered_json;

// The object as one line of text, without the line end. Strings are written as valid JSON
// whatever bytes they hold: a file name that is not UTF-8 gets U+FFFD where its bytes are not.
std::string JsonText(const Json& json);

// The line as one JSON object; nothing when it is not one.
std::optional<Json> ReadJsonObject(const std::string& line);

// A field read from a line of anyone's: the files and the units' output may hold any shape, and
// reading never fails on one. The field's text: a string as it is, a number as written, anything
// else empty.
std::string FieldText(const Json& object, const char* key);
// The field's whole number, when it is one of 0 or more; nothing for anything else.
std::optional<std::uint64_t> FieldCount(const Json& object, const char* key);
// The field's number, whole or not; nothing for anything else.
std::optional<double> FieldNumber(const Json& object, const char* key);

// Called when a line of an event is given a field that the event's row of cli/events.h does not
// give it (besides "device", which every event of a unit may carry): the tests install a check
// that fails the test there; the program installs none and writes the line as it is.
using FieldOutsideItsEvent = void (*)(Event event, const char* field);
void CheckEventFields(FieldOutsideItsEvent check);

class JsonLine {
  public:
    // An object without an event: a record line, or an item of a list.
    JsonLine();
    explicit JsonLine(Event event);
    JsonLine(const JsonLine& other);
    JsonLine& operator=(const JsonLine& other);
    ~JsonLine();

    JsonLine& Text(const char* key, const std::string& value);
    JsonLine& Count(const char* key, std::uint64_t value);
    // Rounded to the places given; a number without places when there are none.
    JsonLine& Decimal(const char* key, double value, int places);
    JsonLine& Boolean(const char* key, bool value);
    JsonLine& Null(const char* key);
    JsonLine& Value(const char* key, Json value);

    const Json& Object() const { return *json_; }
    // The object's line, with its line end.
    std::string Line() const { return JsonText(*json_) + "\n"; }

  private:
    // Every field goes in here, held to the event's row.
    JsonLine& Set(const char* key, Json value);

    std::unique_ptr<Json> json_;
    std::optional<Event> event_;  // none: a record line, or an item of a list
};

}  // namespace quorvanex::cli
