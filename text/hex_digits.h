// A number as hex digits in upper case, as the lines and events show command bytes and flash
// addresses ("DB", "114FE0").
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace quorvanex {

// At least so many digits, zeros in front.
inline std::string HexDigits(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
    return text;
}

}  // namespace quorvanex
