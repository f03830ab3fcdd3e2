// The texts that the operator reads, and how they are made. Status texts and notices are named
// rows: each subsystem keeps its own in one file (link/link_texts.h, protocol/protocol_texts.h,
// update/update_texts.h), and a call site names the row it shows.
#pragma once

#include <cstddef>

#include "seam/operator_services.h"

namespace quorvanex {

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

// The captions of the boxes, each written once.
inline constexpr const wchar_t* kBlankCaption = L" ";
inline constexpr const wchar_t* kCriticalErrorCaption = L"Critical Error!!! ";
inline constexpr const wchar_t* kFileMissingCaption = L"File missing";
inline constexpr const wchar_t* kUpdateNotStartedCaption = L"Update not started";
inline constexpr const wchar_t* kUpdateRunningCaption = L"Update running";

// Paints the words padded with blanks to the row's length, at its row.
void ShowStatusText(const StatusText& line);
void ShowNotice(const NoticeText& notice);
// The box with the path in its text, formatted as FormatPathMessage does.
void ShowPathNotice(const PathNotice& notice, const wchar_t* path);

// Formats into the buffer like swprintf (%ls takes a wide string on every platform). The result is
// always terminated; false when the text had to be cut to fit.
bool FormatMessageText(MessageText& buffer, const wchar_t* format, ...);

// Formats a text whose one %ls is a file path. A path too long for the buffer keeps its end, the
// file's name, behind a leading "...", so the text stays whole and shows that the path was cut.
void FormatPathMessage(MessageText& buffer, const wchar_t* format, const wchar_t* path);

}  // namespace quorvanex
