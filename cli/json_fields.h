// Reads one JSON object of a line, as the command line's own --json output writes them: its
// top-level fields, strings unescaped, numbers, true, false and null as written, arrays and
// objects as their JSON text. update --all reads its units' events with it.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace quorvanex::cli {

using JsonFields = std::map<std::string, std::string>;

// Nothing when the line is not one JSON object.
std::optional<JsonFields> ReadJsonFields(const std::string& line);

}  // namespace quorvanex::cli
