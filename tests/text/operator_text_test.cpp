#include "text/operator_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <string>

namespace quorvanex {
namespace {

TEST(MessageText, ATextTooLongForTheBufferIsCutAndStillTerminated) {
    MessageText buffer;
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    const std::wstring longWord(100, L'x');
    EXPECT_FALSE(FormatMessageText(buffer, L"%ls", longWord.c_str()));
    EXPECT_EQ(std::wcslen(buffer), kMessageTextCapacity - 1);

    EXPECT_TRUE(FormatMessageText(buffer, L"%ls and %d", L"wide", 7));
    EXPECT_STREQ(buffer, L"wide and 7");
}

TEST(MessageText, APathKeepsItsWholeLengthWhileItFitsAndItsEndWhenCut) {
    const wchar_t* format = L"Input file %ls not found";
    MessageText buffer;
    // 58 characters is the longest path that fits beside the 21 of the text.
    const std::wstring fitting = std::wstring(37, L'd') + L"ZELMAR.0.1.OSD.01.bin";
    ASSERT_EQ(fitting.size(), 58u);
    FormatPathMessage(buffer, format, fitting.c_str());
    EXPECT_EQ(std::wstring(buffer), L"Input file " + fitting + L" not found");

    const std::wstring tooLong = L"e" + fitting;
    FormatPathMessage(buffer, format, tooLong.c_str());
    EXPECT_EQ(std::wstring(buffer),
              L"Input file ..." + tooLong.substr(tooLong.size() - 55) + L" not found");
    EXPECT_EQ(std::wcslen(buffer), 79u);
}

}  // namespace
}  // namespace quorvanex
