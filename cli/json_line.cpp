#include "cli/json_line.h"

#include <cmath>

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

JsonLine::JsonLine() : json_(std::make_unique<Json>(Json::object())) {}

JsonLine::JsonLine(Event event) : JsonLine() {
    (*json_)[field::kEventField] = EventName(event);
}

JsonLine::JsonLine(const JsonLine& other) : json_(std::make_unique<Json>(*other.json_)) {}

JsonLine& JsonLine::operator=(const JsonLine& other) {
    *json_ = *other.json_;
    return *this;
}

JsonLine::~JsonLine() = default;

JsonLine& JsonLine::Text(const char* key, const std::string& value) {
    (*json_)[key] = value;
    return *this;
}

JsonLine& JsonLine::Count(const char* key, std::uint64_t value) {
    (*json_)[key] = value;
    return *this;
}

JsonLine& JsonLine::Decimal(const char* key, double value, int places) {
    if (places <= 0 || !std::isfinite(value)) {
        (*json_)[key] = std::isfinite(value) ? std::llround(value) : 0;
        return *this;
    }
    const double scale = std::pow(10.0, places);
    (*json_)[key] = std::round(value * scale) / scale;
    return *this;
}

JsonLine& JsonLine::Boolean(const char* key, bool value) {
    (*json_)[key] = value;
    return *this;
}

JsonLine& JsonLine::Null(const char* key) {
    (*json_)[key] = nullptr;
    return *this;
}

JsonLine& JsonLine::Value(const char* key, Json value) {
    (*json_)[key] = std::move(value);
    return *this;
}

}  // namespace quorvanex::cli
