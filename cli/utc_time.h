// Times in UTC as the records write them ("2026-12-08T10:15:00Z"), as seconds since the start of
// 1970, and back: the record's writer and the report's reader share this one form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvanex::cli {

// A record's time, exactly as the records write it; nothing for any other text or a date that
// does not exist.
std::optional<std::int64_t> SecondsOfRecordTime(std::string_view text);

// A time given on the command line: as the records write it, or shorter ("2026-12-08T10:15",
// "2026-12-08"), the Z optional; always UTC.
std::optional<std::int64_t> SecondsOfTimeGiven(std::string_view text);

// As the records write it.
std::string RecordTime(std::int64_t seconds);

// The time of tenths of a second since 1970, to the second below, as the records write it.
std::string RecordTimeOfTenths(std::int64_t tenths);

}  // namespace quorvanex::cli
