#include "cli/json_line.h"

#include <cmath>
#include <cstring>

#include <nlohmann/json.hpp>

namespace quorvanex::cli {

std::string JsonText(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<Json> ReadJsonObject(const std::string& line) {
    Json json = Json::parse(line, nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        return std::nullopt;
    }
    return json;
}

std::string FieldText(const Json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end()) {
        return {};
    }
    if (found->is_string()) {
        return found->get<std::string>();
    }
    return found->is_number() ? JsonText(*found) : std::string();
}

std::optional<std::uint64_t> FieldCount(const Json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end()) {
        return std::nullopt;
    }
    if (found->is_number_unsigned()) {
        return found->get<std::uint64_t>();
    }
    if (found->is_number_integer() && found->get<std::int64_t>() >= 0) {
        return static_cast<std::uint64_t>(found->get<std::int64_t>());
    }
    return std::nullopt;
}

std::optional<double> FieldNumber(const Json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_number() ? std::optional(found->get<double>())
                                                       : std::nullopt;
}

namespace {

FieldOutsideItsEvent fieldCheck = nullptr;

bool EventCarries(Event event, const char* key) {
    if (std::strcmp(key, field::kDevice) == 0) {
        return true;
    }
    for (const char* field : EventFields(event)) {
        if (std::strcmp(key, field) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

void CheckEventFields(FieldOutsideItsEvent check) {
    fieldCheck = check;
}

JsonLine::JsonLine() : json_(std::make_unique<Json>(Json::object())) {}

JsonLine::JsonLine(Event event) : JsonLine() {
    (*json_)[field::kEventField] = EventName(event);
    event_ = event;
}

JsonLine::JsonLine(const JsonLine& other)
    : json_(std::make_unique<Json>(*other.json_)), event_(other.event_) {}

JsonLine& JsonLine::operator=(const JsonLine& other) {
    *json_ = *other.json_;
    event_ = other.event_;
    return *this;
}

JsonLine::~JsonLine() = default;

JsonLine& JsonLine::Set(const char* key, Json value) {
    if (fieldCheck != nullptr && event_ && !EventCarries(*event_, key)) {
        fieldCheck(*event_, key);
    }
    (*json_)[key] = std::move(value);
    return *this;
}

JsonLine& JsonLine::Text(const char* key, const std::string& value) {
    return Set(key, value);
}

JsonLine& JsonLine::Count(const char* key, std::uint64_t value) {
    return Set(key, value);
}

JsonLine& JsonLine::Decimal(const char* key, double value, int places) {
    if (places <= 0 || !std::isfinite(value)) {
        return Set(key, std::isfinite(value) ? std::llround(value) : 0);
    }
    const double scale = std::pow(10.0, places);
    return Set(key, std::round(value * scale) / scale);
}

JsonLine& JsonLine::Boolean(const char* key, bool value) {
    return Set(key, value);
}

JsonLine& JsonLine::Null(const char* key) {
    return Set(key, nullptr);
}

JsonLine& JsonLine::Value(const char* key, Json value) {
    return Set(key, std::move(value));
}

}  // namespace quorvanex::cli
