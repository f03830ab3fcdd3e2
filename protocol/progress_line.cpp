#include "protocol/progress_line.h"

namespace quorvanex {

float ProgressFigure(std::int32_t remaining, std::int64_t dataSize) {
    const float remainingBytes = static_cast<float>(remaining);
    const float allBytes = static_cast<float>(dataSize);
    const float share = remainingBytes / allBytes;
    const float percentLeft = share * 100.0f;
    return 100.0f - percentLeft;
}

void FormatProgressLine(MessageText& buffer, float figure) {
    // The width 3 never pads: one decimal place already gives three characters. 33 blanks follow.
    FormatMessageText(buffer, L"Flash write:  %03.1f %c                                 ",
                      static_cast<double>(figure), static_cast<int>(L'%'));
}

}  // namespace quorvanex
