#include "cli/report/record_line.h"

#include <cmath>
#include <iterator>

#include "cli/report/json_cursor.h"
#include "cli/utc_time.h"

namespace quorvanex::cli {
namespace {

// The fields of a record, by the names the JSON carries (cli/events.h), and whether each must be
// there: every one but the event.
enum RecordField {
    kTime,
    kRun,
    kRunIdField,
    kDeviceField,
    kProductField,
    kImagesField,
    kOutcomeField,
    kFatalCodeField,
    kSecondsField,
    kFramesField,
    kResendsField,
    kEventOfRecord,
    kFieldCount
};
constexpr std::string_view kFieldNames[kFieldCount] = {
    field::kTime,    field::kRun,    field::kRunId,   field::kDevice,
    field::kProduct, field::kImages, field::kOutcome, field::kFatalCode,
    field::kSeconds, field::kFrames, field::kResends, field::kEventField,
};
constexpr unsigned kEveryFieldOfARecord = (1u << kEventOfRecord) - 1;

// A value nested deeper than this in a field that is not the record's makes no record: the
// records nest two deep.
constexpr int kDeepestOtherValue = 64;

int FieldNamed(const std::string& key) {
    for (int i = 0; i < kFieldCount; ++i) {
        if (key == kFieldNames[i]) {
            return i;
        }
    }
    return -1;
}

// null, or a whole number up to the largest given.
bool NullOrCount(JsonCursor& json, std::uint64_t largest, std::optional<std::uint64_t>& count) {
    count.reset();
    if (json.Null()) {
        return true;
    }
    std::string_view written;
    if (!json.Number(written)) {
        return false;
    }
    count = WholeNumber(written);
    return count && *count <= largest;
}

// The list of images; the record's images are reused from line to line, their texts keeping
// their room.
bool Images(JsonCursor& json, std::vector<RecordedImage>& images) {
    std::size_t count = 0;
    if (!json.Take('[')) {
        return false;
    }
    if (json.Take(']')) {
        images.clear();
        return true;
    }
    std::string key;
    do {
        if (count == images.size()) {
            images.emplace_back();
        }
        RecordedImage& image = images[count++];
        bool name = false;
        bool sha256 = false;
        if (!json.Take('{')) {
            return false;
        }
        do {
            if (!json.String(key) || !json.Take(':')) {
                return false;
            }
            bool& seen = key == field::kName ? name : sha256;
            if (key == field::kName || key == field::kSha256) {
                if (seen || !json.String(key == field::kName ? image.name : image.sha256)) {
                    return false;
                }
                seen = true;
            } else if (!json.SkipValue(kDeepestOtherValue)) {
                return false;
            }
        } while (json.Take(','));
        if (!json.Take('}') || !name || !sha256) {
            return false;
        }
    } while (json.Take(','));
    images.resize(count);
    return json.Take(']');
}

bool Seconds(JsonCursor& json, std::uint32_t& tenths) {
    std::string_view written;
    const std::optional<double> seconds = json.Number(written) ? AnyNumber(written) : std::nullopt;
    if (!seconds || *seconds < 0 || *seconds >= kMostSecondsOfARecord) {
        return false;
    }
    tenths = static_cast<std::uint32_t>(std::llround(*seconds * 10));
    return true;
}

bool Field(JsonCursor& json, int field, ReadRecord& record, std::string& text) {
    std::optional<std::uint64_t> count;
    switch (field) {
        case kTime: {
            const bool read = json.String(record.time);
            const std::optional<std::int64_t> end = SecondsOfRecordTime(record.time);
            record.endSecond = end.value_or(0);
            return read && end;
        }
        case kRun:
            return json.String(record.run);
        case kRunIdField:
            return json.String(record.runId) && !record.runId.empty();
        case kDeviceField:
            if (!NullOrCount(json, 0xFFFFFFFFu, count) || !count) {
                return false;
            }
            record.device = static_cast<std::uint32_t>(*count);
            return true;
        case kProductField:
            return json.String(record.product);
        case kImagesField:
            return Images(json, record.images);
        case kOutcomeField: {
            const std::optional<Outcome> outcome =
                json.String(text) ? OutcomeNamed(text) : std::nullopt;
            record.outcome = outcome.value_or(Outcome::Done);
            return outcome.has_value();
        }
        case kFatalCodeField:
            if (!NullOrCount(json, 0xFF, count) || count == std::uint64_t{0}) {
                return false;
            }
            record.fatalCode = static_cast<std::uint8_t>(count.value_or(0));
            return true;
        case kSecondsField:
            return Seconds(json, record.tenths);
        case kFramesField:
            return NullOrCount(json, ~std::uint64_t{0}, record.frames);
        case kResendsField:
            if (!NullOrCount(json, 0xFFFFFFFFu, count)) {
                return false;
            }
            record.resends =
                count ? std::optional(static_cast<std::uint32_t>(*count)) : std::nullopt;
            return true;
        default:
            return json.String(text) && text == EventName(Event::Record);
    }
}

}  // namespace

bool ReadRecordLine(std::string_view line, ReadRecord& record) {
    JsonCursor json(line);
    if (!json.Take('{')) {
        return false;
    }
    unsigned seen = 0;
    std::string key;
    std::string text;
    do {
        if (!json.String(key) || !json.Take(':')) {
            return false;
        }
        const int field = FieldNamed(key);
        if (field < 0) {
            if (!json.SkipValue(kDeepestOtherValue)) {
                return false;
            }
            continue;
        }
        if ((seen & (1u << field)) != 0 || !Field(json, field, record, text)) {
            return false;
        }
        seen |= 1u << field;
    } while (json.Take(','));
    return json.Take('}') && json.AtEnd() && (seen & kEveryFieldOfARecord) == kEveryFieldOfARecord;
}

}  // namespace quorvanex::cli
