#include "cli/update/unit_record.h"

#include <cstdio>
#include <ctime>
#include <random>
#include <sstream>

#include <nlohmann/json.hpp>

#include "cli/arguments.h"
#include "cli/console/console_platform.h"
#include "cli/utc_time.h"
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

// The room that the check before a run asks for: the lines of some forty units, at some 400 bytes
// a line.
constexpr std::size_t kRoomForARun = 16 * 1024;

template <typename Number>
Json NumberOrNull(const std::optional<Number>& value) {
    return value ? Json(*value) : Json(nullptr);
}

}  // namespace

std::string UtcNow() {
    return RecordTime(std::time(nullptr));
}

std::string NewRunId() {
    std::random_device random;
    char part[24];
    std::snprintf(part, sizeof part, "%08x%08x", static_cast<unsigned>(random()),
                  static_cast<unsigned>(random()));
    return UtcTime("%Y%m%dT%H%M%SZ") + "-" + part;
}

JsonLine RecordLine(const UnitRecord& record, bool asEvent) {
    Json images = Json::array();
    for (const RecordedImage& image : record.images) {
        images.push_back(Json{{field::kName, image.name}, {field::kSha256, image.sha256}});
    }
    JsonLine line = asEvent ? JsonLine(Event::Record) : JsonLine();
    line.Text(field::kTime, UtcNow())
        .Text(field::kRun, record.run)
        .Text(field::kRunId, record.runId);
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
    record.run = FieldText(json, field::kRun);
    record.runId = FieldText(json, field::kRunId);
    record.device = static_cast<std::uint32_t>(FieldCount(json, field::kDevice).value_or(0));
    record.product = FieldText(json, field::kProduct);
    if (const auto images = json.find(field::kImages); images != json.end() && images->is_array()) {
        for (const Json& image : *images) {
            if (image.is_object()) {
                record.images.push_back(
                    {FieldText(image, field::kName), FieldText(image, field::kSha256)});
            }
        }
    }
    record.outcome = OutcomeNamed(FieldText(json, field::kOutcome)).value_or(Outcome::Crashed);
    if (const auto code = FieldCount(json, field::kFatalCode); code && *code <= 0xFF) {
        record.fatalCode = static_cast<std::uint8_t>(*code);
    }
    record.seconds = FieldNumber(json, field::kSeconds).value_or(0.0);
    record.frames = FieldCount(json, field::kFrames);
    if (const auto resends = FieldCount(json, field::kResends); resends && *resends <= ~0u) {
        record.resends = static_cast<std::uint32_t>(*resends);
    }
    return record;
}

bool RecordFile::ToOutput() const {
    return path_ == kStandardStream;
}

bool RecordFile::Usable() const {
    // A check that writes nothing passes on a full disk: room for the lines of a run is written,
    // and taken away again.
    return !Wanted() || ToOutput() || RoomForLines(WidePathFromUtf8(path_).c_str(), kRoomForARun);
}

bool RecordFile::Append(const UnitRecord& record) const {
    if (!Wanted()) {
        return true;
    }
    if (ToOutput()) {
        return WriteOutput(RecordLine(record, true).Line());
    }
    return AppendLineToFile(WidePathFromUtf8(path_).c_str(), RecordLine(record).Line());
}

bool RecordFile::Holds(const std::string& runId, std::uint32_t device) const {
    std::string lines;
    if (!Wanted() || ToOutput() || runId.empty() ||
        !ReadWholeFile(WidePathFromUtf8(path_).c_str(), lines)) {
        return false;
    }
    std::istringstream stream(lines);
    for (std::string line; std::getline(stream, line);) {
        const std::optional<Json> json = ReadJsonObject(line);
        if (json && FieldText(*json, field::kRunId) == runId &&
            FieldCount(*json, field::kDevice) == device) {
            return true;
        }
    }
    return false;
}

}  // namespace quorvanex::cli
