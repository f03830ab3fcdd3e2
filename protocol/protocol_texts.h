// What the loader operations tell the operator: the status line of each control command, the lines
// of a retransmit and of the flash write, and the boxes of their failures.
#pragma once

#include <cstdint>

#include "protocol/loader_bytes.h"
#include "text/operator_text.h"

namespace quorvanex {

// The line painted before a control command is sent, by its command byte: one row for each
// command that the loader echoes (checked where the commands are sent).
struct ControlCommandLine {
    std::uint8_t code;
    StatusText line;
};
constexpr const StatusText& LineOf(const ControlCommandLine& command) {
    return command.line;
}
inline constexpr ControlCommandLine kControlCommandLines[] = {
    {kSpeedSelect, {L"Spi speed = 12 MHz", 34, 10}},
    {kFpgaNormal, {L"FPGA normal", 40, 10}},
    {kFpgaResetActive, {L"FPGA reset active", 33, 10}},
    {kFpgaWriteActive, {L"Write active, please wait...", 34, 10}},
    {kFpgaUpdateProcess, {L"Update process, please wait", 34, 10}},
    {kFpgaUpdateOk, {L"Update ok...", 34, 10}},
};

// The loader operations' failures, each a warning under the caption "Critical Error!!! "; the lines
// painted after the second exchange of a command whose first echo was wrong (two blanks after the
// colon, as the device tool always showed them), before the flash write and after a page frame
// that failed; the boxes of an image file that cannot be written. The progress line is only its
// first words: FormatProgressLine makes the whole text, the figure and the blanks after it.
#define QUORVANEX_PROTOCOL_TEXTS(LINE, NOTICE, PATH_NOTICE, TEXT, LINES)                   \
    NOTICE(kSpeedSelectFailed, L"ERROR Selecting Speed!", kCriticalErrorCaption, Warning)  \
    NOTICE(kStateCommandFailed, L"ERROR Resetting FPGA!", kCriticalErrorCaption, Warning)  \
    NOTICE(kWriteEnableFailed, L"ERROR Write Enable!", kCriticalErrorCaption, Warning)     \
    NOTICE(kSectorEraseFailed, L"Sector erase error!", kCriticalErrorCaption, Warning)     \
    NOTICE(kFlashWriteFailed, L"Flash Write ERROR!", kCriticalErrorCaption, Warning)       \
    LINE(kSpeedRetransmitLine, L"Select Speed error:  retransmit...", 38, 10)              \
    LINE(kStateRetransmitLine, L"Reset FPGA error:  retransmit...", 47, 10)                \
    LINE(kFlashWriteStartedLine, L"Flash write started...", 45, 10)                        \
    LINE(kFlashWriteRetransmitLine, L"Flash Write ERROR: retransmit...", 42, 10)           \
    LINE(kProgressLine, L"Flash write:  ", 0, 10)                                          \
    PATH_NOTICE(kInputFileNotFound, L"Input file %ls not found", kFileMissingCaption)      \
    PATH_NOTICE(kImageTooLargeWhileWriting, L"%ls is too large for its flash region",      \
                kCriticalErrorCaption)                                                     \
    PATH_NOTICE(kImageNotReadWhole, L"%ls could not be read whole", kCriticalErrorCaption) \
    LINES(kControlCommandLines)
QUORVANEX_TEXT_CONSTANTS(QUORVANEX_PROTOCOL_TEXTS)

// The lines that tell of a frame sent once more.
inline constexpr const StatusText* kRetransmitLines[] = {
    &kSpeedRetransmitLine, &kStateRetransmitLine, &kFlashWriteRetransmitLine};
}  // namespace quorvanex
