// Times in UTC as the records write them ("2026-12-08T10:15:00Z"), as seconds since the start of
// 1970, and back.
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

}  // namespace quorvanex::cli
