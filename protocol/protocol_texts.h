// What the loader operations tell the operator: the status line of each control command, the lines
// of a retransmit and of the flash write, and the boxes of their failures.
#pragma once

#include <cstdint>

#include "protocol/loader_bytes.h"
#include "text/operator_text.h"

namespace quorvanex {

// The loader operations' failures: a warning under the caption "Critical Error!!! ".
constexpr NoticeText CriticalNotice(const wchar_t* text) {
    return {text, kCriticalErrorCaption, NoticeIcon::Warning};
}

// The line painted before a control command is sent, by its command byte: one row for each
// command that the loader echoes (checked where the commands are sent).
struct ControlCommandLine {
    std::uint8_t code;
    StatusText line;
};
inline constexpr ControlCommandLine kControlCommandLines[] = {
    {kSpeedSelect, {L"Spi speed = 12 MHz", 34, 10}},
    {kFpgaNormal, {L"FPGA normal", 40, 10}},
    {kFpgaResetActive, {L"FPGA reset active", 33, 10}},
    {kFpgaWriteActive, {L"Write active, please wait...", 34, 10}},
    {kFpgaUpdateProcess, {L"Update process, please wait", 34, 10}},
    {kFpgaUpdateOk, {L"Update ok...", 34, 10}},
};

// Painted after the second exchange of a command whose first echo was wrong; two blanks after the
// colon, as the device tool always showed them.
inline constexpr StatusText kSpeedRetransmitLine = {L"Select Speed error:  retransmit...", 38, 10};
inline constexpr StatusText kStateRetransmitLine = {L"Reset FPGA error:  retransmit...", 47, 10};
inline constexpr NoticeText kSpeedSelectFailed = CriticalNotice(L"ERROR Selecting Speed!");
inline constexpr NoticeText kStateCommandFailed = CriticalNotice(L"ERROR Resetting FPGA!");

inline constexpr NoticeText kWriteEnableFailed = CriticalNotice(L"ERROR Write Enable!");
inline constexpr NoticeText kSectorEraseFailed = CriticalNotice(L"Sector erase error!");

inline constexpr StatusText kFlashWriteStartedLine = {L"Flash write started...", 45, 10};
inline constexpr StatusText kFlashWriteRetransmitLine = {L"Flash Write ERROR: retransmit...", 42,
                                                         10};
// The lines that tell of a frame sent once more.
inline constexpr const StatusText* kRetransmitLines[] = {
    &kSpeedRetransmitLine, &kStateRetransmitLine, &kFlashWriteRetransmitLine};
// The progress line: the words it begins with and its row. FormatProgressLine makes the whole
// text, the figure and the blanks after it.
inline constexpr StatusText kProgressLine = {L"Flash write:  ", 0, 10};
inline constexpr NoticeText kFlashWriteFailed = CriticalNotice(L"Flash Write ERROR!");

inline constexpr PathNotice kInputFileNotFound = {L"Input file %ls not found", kFileMissingCaption};
inline constexpr PathNotice kImageTooLargeWhileWriting = {L"%ls is too large for its flash region",
                                                          kCriticalErrorCaption};
inline constexpr PathNotice kImageNotReadWhole = {L"%ls could not be read whole",
                                                  kCriticalErrorCaption};

}  // namespace quorvanex
