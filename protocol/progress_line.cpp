#include "protocol/progress_line.h"

#include "protocol/protocol_texts.h"

namespace quorvanex {

float ProgressFigure(std::int32_t remaining, std::int64_t dataSize) {
    const float remainingBytes = static_cast<float>(remaining);
    const float allBytes = static_cast<float>(dataSize);
    const float share = remainingBytes / allBytes;
    const float percentLeft = share * 100.0f;
    return 100.0f - percentLeft;
}

void FormatProgressLine(MessageText& buffer, float figure) {
    // The width 3 never pads: one decimal place already gives three characters. The blanks after
    // the percent sign are an empty text in a field of their width.
    FormatMessageText(buffer, L"%ls%03.1f %c%*ls", kProgressLine.words, static_cast<double>(figure),
                      static_cast<int>(L'%'), kBlanksAfterProgressFigure, L"");
}

}  // namespace quorvanex
