#include "text/operator_text.h"
#include "text/utf8.h"

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

TEST(Utf8, WideTextsGoToUtf8AndBackWholeOnEveryPlatform) {
    // Latin, Cyrillic, Chinese, and a character beyond the first plane (two halves on Windows).
    const std::wstring text = L"A\u00e9\u043e\u66f4\U0001F600";
    const std::string bytes = Utf8FromWide(text);
    EXPECT_EQ(bytes, "A\xc3\xa9\xd0\xbe\xe6\x9b\xb4\xf0\x9f\x98\x80");
    EXPECT_EQ(WideFromUtf8(bytes), text);
    // Bytes that are no UTF-8, and a sequence cut short, each stand for one replacement character.
    EXPECT_EQ(WideFromUtf8("a\xff\xe6\x9b"), std::wstring(L"a\uFFFD\uFFFD\uFFFD"));
    // A file name keeps them, whatever they are: cut short, too long an encoding, a surrogate's.
    for (const std::string name :
         {"lot-\xff\xfe-7", "a\xe6\x9b", "\xc0\x80", "\xed\xa0\x80", "\xc3\xa9t\xe9"}) {
        EXPECT_EQ(Utf8PathFromWide(WidePathFromUtf8(name)), name);
    }
    EXPECT_EQ(WidePathFromUtf8("\xc3\xa9"), std::wstring(L"\u00e9"));
    // Any bytes, shown: controls and bytes that are no UTF-8 as '?', a long text cut.
    EXPECT_EQ(PrintableUtf8(std::string("MZ\x90\x00\x1b[2J\xc3\xa9", 10), 20), "MZ???[2J\xc3\xa9");
    EXPECT_EQ(PrintableUtf8(std::string(30, 'x'), 20), std::string(20, 'x') + "...");
}

}  // namespace
}  // namespace quorvanex
