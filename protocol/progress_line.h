// The progress line of the flash write: "Flash write:  2.0 %" and blanks.
#pragma once

#include <cstdint>

#include "protocol/protocol_texts.h"
#include "text/operator_text.h"

namespace quorvanex {

// The blanks after the percent sign; the figure reads at least "0.0", then a blank and the sign.
inline constexpr int kBlanksAfterProgressFigure = 33;
inline constexpr std::size_t kShortestProgressLineLength =
    TextLength(kProgressLine.words) + 3 + 2 + kBlanksAfterProgressFigure;

// 100 - (remaining / dataSize) * 100, each step in single precision as the device tool always
// computed it, so that the figure reads the same (2.0 for 97,952 of 100,000 remaining).
float ProgressFigure(std::int32_t remaining, std::int64_t dataSize);

// The line for a figure: 52 characters below 10, 53 below 100, 54 at 100.0.
void FormatProgressLine(MessageText& buffer, float figure);

}  // namespace quorvanex
