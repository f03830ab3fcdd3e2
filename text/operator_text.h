// The texts that the operator reads, and how they are made. Status texts and notices are named
// rows: each subsystem keeps its own in one file (link/link_texts.h, protocol/protocol_texts.h,
// update/update_texts.h), and a call site names the row it shows.
#pragma once

#include <cstddef>

#include "seam/operator_services.h"

namespace quorvanex {

// A status line: the words, the length they are padded to with blanks, and the row. The blanks let
// a text painted later at the same row cover an older, longer one.
struct StatusText {
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

// A warning box whose text names a file: its one %ls takes the path.
struct PathNotice {
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

// 79 characters and the terminator.
inline constexpr std::size_t kMessageTextCapacity = 80;
using MessageText = wchar_t[kMessageTextCapacity];

// Formats into the buffer like swprintf (%ls takes a wide string on every platform). The result is
// always terminated; false when the text had to be cut to fit.
bool FormatMessageText(MessageText& buffer, const wchar_t* format, ...);

// Formats a text whose one %ls is a file path. A path too long for the buffer keeps its end, the
// file's name, behind a leading "...", so the text stays whole and shows that the path was cut.
void FormatPathMessage(MessageText& buffer, const wchar_t* format, const wchar_t* path);

}  // namespace quorvanex
