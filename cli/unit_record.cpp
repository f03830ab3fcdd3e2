#include "cli/unit_record.h"

#include <cstdio>
#include <ctime>
#include <random>
#include <sstream>

#include <nlohmann/json.hpp>

#include "cli/arguments.h"
#include "cli/console_platform.h"
#include "seam/binary_file.h"
#include "text/utf8.h"

namespace quorvanex::cli {
namespace {

std::string UtcTime(const char* format) {
    const std::time_t now = std::time(nullptr);
    char text[32] = "";
    if (const std::tm* utc = std::gmtime(&now)) {
        std::strftime(text, sizeof text, format, utc);
    }
    return text;
}

template <typename Number>
Json NumberOrNull(const std::optional<Number>& value) {
    return value ? Json(*value) : Json(nullptr);
}

}  // namespace

std::string UtcNow() {
    return UtcTime("%Y-%m-%dT%H:%M:%SZ");
}

std::string NewRunName() {
    std::random_device random;
    char part[16];
    std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(random()));
    return UtcTime("%Y%m%dT%H%M%SZ") + "-" + part;
}

JsonLine RecordLine(const UnitRecord& record, bool asEvent) {
    Json images = Json::array();
    for (const RecordedImage& image : record.images) {
        images.push_back(Json{{field::kName, image.name}, {field::kSha256, image.sha256}});
    }
    JsonLine line = asEvent ? JsonLine(Event::Record) : JsonLine();
    line.Text(field::kTime, UtcNow()).Text(field::kRun, record.run);
    line.Count(field::kDevice, record.device).Text(field::kProduct, record.product);
    line.Value(field::kImages, std::move(images))
        .Text(field::kOutcome, OutcomeName(record.outcome));
    line.Value(
        field::kFatalCode,
        NumberOrNull(record.fatalCode != 0 ? std::optional(int{record.fatalCode}) : std::nullopt));
    line.Decimal(field::kSeconds, record.seconds, 1);
    line.Value(field::kFrames, NumberOrNull(record.frames));
    line.Value(field::kResends, NumberOrNull(record.resends));
    return line;
}

UnitRecord RecordFromJson(const Json& json) {
    UnitRecord record;
    record.run = json.value(field::kRun, "");
    record.device = json.value(field::kDevice, 0u);
    record.product = json.value(field::kProduct, "");
    if (const auto images = json.find(field::kImages); images != json.end() && images->is_array()) {
        for (const Json& image : *images) {
            if (image.is_object()) {
                record.images.push_back(
                    {image.value(field::kName, ""), image.value(field::kSha256, "")});
            }
        }
    }
    record.outcome = OutcomeNamed(json.value(field::kOutcome, "")).value_or(Outcome::Crashed);
    if (const auto code = json.find(field::kFatalCode); code != json.end() && code->is_number()) {
        record.fatalCode = code->get<std::uint8_t>();
    }
    record.seconds = json.value(field::kSeconds, 0.0);
    if (const auto frames = json.find(field::kFrames);
        frames != json.end() && frames->is_number()) {
        record.frames = frames->get<std::uint64_t>();
    }
    if (const auto resends = json.find(field::kResends);
        resends != json.end() && resends->is_number()) {
        record.resends = resends->get<std::uint32_t>();
    }
    return record;
}

bool RecordFile::ToOutput() const {
    return path_ == kStandardStream;
}

bool RecordFile::Usable() const {
    return !Wanted() || ToOutput() || AppendToFile(WideFromUtf8(path_).c_str(), "");
}

bool RecordFile::Append(const UnitRecord& record) const {
    if (!Wanted()) {
        return true;
    }
    if (ToOutput()) {
        return WriteOutput(RecordLine(record, true).Line());
    }
    return AppendToFile(WideFromUtf8(path_).c_str(), RecordLine(record).Line());
}

bool RecordFile::Holds(const std::string& run, std::uint32_t device) const {
    std::string lines;
    if (!Wanted() || ToOutput() || !ReadWholeFile(WideFromUtf8(path_).c_str(), lines)) {
        return false;
    }
    std::istringstream stream(lines);
    for (std::string line; std::getline(stream, line);) {
        const std::optional<Json> json = ReadJsonObject(line);
        if (json && json->value(field::kRun, "") == run &&
            json->value(field::kDevice, ~0u) == device) {
            return true;
        }
    }
    return false;
}

}  // namespace quorvanex::cli
