// The texts that the operator reads, and how they are made. Status texts and notices are named
// rows: each subsystem keeps its own in one file (link/link_texts.h, protocol/protocol_texts.h,
// update/update_texts.h), and a call site names the row it shows (seam/operator_services.h shows
// them). Nothing here shows anything: this is the floor below the operator services.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text/text_with_values.h"

namespace quorvanex {

// The message box icons, with the values that the platform's message box takes.
enum class NoticeIcon : std::uint32_t {
    Warning = 0x30,
    Information = 0x40,
};

// 79 characters and the terminator: the buffer that every status text and formatted message is
// painted or shown from.
inline constexpr std::size_t kMessageTextCapacity = 80;
using MessageText = wchar_t[kMessageTextCapacity];

// Called only when a text row is wrong, and never in a constant expression: the build then stops
// at the row, with this name in its message.
void TheWordsDoNotFitTheirPaddedLength();
void ThePaddedLengthIsOver79Characters();
void TheFormatLeavesNoRoomForThePath();

constexpr std::size_t TextLength(const wchar_t* text) {
    std::size_t length = 0;
    while (text[length] != L'\0') {
        ++length;
    }
    return length;
}

// A status line: the words, the length they are padded to with blanks, and the row. The blanks let
// a text painted later at the same row cover an older, longer one. A length of 0 paints the words
// alone. Every row is made when the program is built and checked then: the words fit the length,
// and the whole text fits the buffer, which would otherwise cut it.
struct StatusText {
    consteval StatusText(const wchar_t* rowWords, int paddedLength, int row)
        : words(rowWords), length(paddedLength), y(row) {
        const std::size_t wordCount = TextLength(words);
        if (length != 0 && wordCount > static_cast<std::size_t>(length)) {
            TheWordsDoNotFitTheirPaddedLength();
        }
        if (wordCount > kMessageTextCapacity - 1 || length > int{kMessageTextCapacity - 1}) {
            ThePaddedLengthIsOver79Characters();
        }
    }

    const wchar_t* words;
    int length;
    int y;
};

// A message box with the OK button alone.
struct NoticeText {
    const wchar_t* text;
    const wchar_t* caption;
    NoticeIcon icon;
};

// The mark that stands for the cut beginning of a path too long for its message.
inline constexpr const wchar_t* kPathCutMark = L"...";

// A warning box whose text names a file: its one %ls takes the path. The rest of the text must
// leave room in the buffer for the cut mark and a path's file name; checked when built.
struct PathNotice {
    // Room for the cut mark, a backslash and a file name of the image set, whole (checked there).
    static constexpr std::size_t kLeastPathRoom = 32;

    consteval PathNotice(const wchar_t* messageFormat, const wchar_t* boxCaption)
        : format(messageFormat), caption(boxCaption) {
        constexpr std::size_t kPlaceholderLength = 3;  // "%ls"
        if (TextLength(format) - kPlaceholderLength + kLeastPathRoom > kMessageTextCapacity - 1) {
            TheFormatLeavesNoRoomForThePath();
        }
    }

    const wchar_t* format;
    const wchar_t* caption;
};

// Each subsystem writes the texts of its own as one list of rows in its *_texts.h, an X-macro named
// after the file (link/link_texts.h: QUORVANEX_LINK_TEXTS) that takes a macro for each kind of row;
// a row makes the named constant that the code shows, and the checks walk every list without
// naming it (every text explained in the operator guide, every line long enough to cover the
// start-up line at its row). A new text is one row; a new list is a *_texts.h with its macro.
//   LINE(name, words, padded length, row)        a status line
//   NOTICE(name, text, caption, icon)            a box
//   PATH_NOTICE(name, format, caption)           a box whose text names a file
//   TEXT(name, text)                             a text with values (text/text_with_values.h)
//   LINES(table)                                 a table of lines, made beside the list
// QUORVANEX_TEXT_CONSTANTS makes the constants of a list.
#define QUORVANEX_STATUS_TEXT_CONSTANT(name, words, length, row) \
    inline constexpr StatusText name = {words, length, row};
#define QUORVANEX_NOTICE_CONSTANT(name, text, caption, icon) \
    inline constexpr NoticeText name = {text, caption, NoticeIcon::icon};
#define QUORVANEX_PATH_NOTICE_CONSTANT(name, format, caption) \
    inline constexpr PathNotice name = {format, caption};
#define QUORVANEX_NO_CONSTANT(...)
#define QUORVANEX_TEXT_CONSTANTS(LIST)                                        \
    LIST(QUORVANEX_STATUS_TEXT_CONSTANT, QUORVANEX_NOTICE_CONSTANT,           \
         QUORVANEX_PATH_NOTICE_CONSTANT, QUORVANEX_TEXT_WITH_VALUES_CONSTANT, \
         QUORVANEX_NO_CONSTANT)

// A table's row as the status line it paints: a table of lines may be of lines alone, or of rows
// that carry a line beside other things (each such row says so with a LineOf of its own).
constexpr const StatusText& LineOf(const StatusText& line) {
    return line;
}

// The captions of the boxes, each written once.
inline constexpr const wchar_t* kBlankCaption = L" ";
inline constexpr const wchar_t* kCriticalErrorCaption = L"Critical Error!!! ";
inline constexpr const wchar_t* kFileMissingCaption = L"File missing";
inline constexpr const wchar_t* kUpdateNotStartedCaption = L"Update not started";
inline constexpr const wchar_t* kUpdateRunningCaption = L"Update running";

// The words padded with blanks to the row's length: the whole text that is painted.
void MakeStatusText(const StatusText& line, MessageText& text);

// Formats into the buffer like swprintf (%ls takes a wide string on every platform). The result is
// always terminated; false when the text had to be cut to fit.
bool FormatMessageText(MessageText& buffer, const wchar_t* format, ...);

// Formats a text whose one %ls is a file path. A path too long for the buffer keeps its end, the
// file's name, behind a leading "...", so the text stays whole and shows that the path was cut.
void FormatPathMessage(MessageText& buffer, const wchar_t* format, const wchar_t* path);

}  // namespace quorvanex
