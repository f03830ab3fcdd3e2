// The platform's side of standard output and standard error (console_platform_*.cpp), for the
// writing that every platform shares (console_output.cpp): a text written whole, or false.
#pragma once

#include <string>

namespace quorvanex::cli {

enum class StandardStream { Output, Error };

bool WriteStandardStream(StandardStream stream, const std::string& utf8);

}  // namespace quorvanex::cli
