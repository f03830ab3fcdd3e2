// A record file read line by line, in pieces, so that a file of any size is read in little
// memory: the lines are handed on as they come, without their line ends.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quorvanex::cli {

// A line longer than this is no record (a record is some hundreds of bytes) and is handed on
// empty, without being kept whole.
inline constexpr std::size_t kLongestRecordLine = 1024 * 1024;

// Hands on each line of the file; a last line without a line end too. False when the file cannot
// be opened, or could not be read to its end.
bool ForEachLine(const std::string& name, const std::function<void(std::string_view)>& line);

}  // namespace quorvanex::cli
