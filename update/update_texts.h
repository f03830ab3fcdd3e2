// What the update procedure tells the operator: the worker's lines and boxes, the fatal stop's
// texts, the refusals of the look at the image files, and the refusal of a second update. The
// lines of the part files stand with the files in update/image_set.h; the list names their table
// with its own.
#pragma once

#include "protocol/protocol_texts.h"
#include "text/operator_text.h"
#include "update/image_set.h"

namespace quorvanex {

// The worker's two lines as the update starts; the box of the confirmed update; the fatal stop's
// box (its text a single blank); the refusal of a second update; and the refusals of the look at
// the image files before anything is sent (a file too large in the words of the writing's own box).
#define QUORVANEX_UPDATE_TEXTS(LINE, NOTICE, PATH_NOTICE, TEXT, LINES)                           \
    LINE(kUpdatingFirmwareLine, L"Updating Firmware", 39, 10)                                    \
    LINE(kDoNotTurnPowerOffLine, L"Do NOT turn power OFF", 39, 30)                               \
    NOTICE(kUpdateOkNotice, L"FLASH update ok ", kBlankCaption, Information)                     \
    NOTICE(kFatalNotice, L" ", kCriticalErrorCaption, Warning)                                   \
    NOTICE(kUpdateAlreadyRunning, L"An update is already running.\nWait until it has finished.", \
           kUpdateRunningCaption, Information)                                                   \
    PATH_NOTICE(kImageWithWrongId, L"%ls has no valid image ID", kUpdateNotStartedCaption)       \
    PATH_NOTICE(kImageTooLarge, kImageTooLargeWhileWriting.format, kUpdateNotStartedCaption)     \
    LINES(kFinishLines)                                                                          \
    LINES(kFatalTexts)                                                                           \
    LINES(kPartFiles)
QUORVANEX_TEXT_CONSTANTS(QUORVANEX_UPDATE_TEXTS)

// Painted in this order once the device has confirmed the update; the blank line wipes out
// "Do NOT turn power OFF".
inline constexpr StatusText kFinishLines[] = {
    {L"FLASH update ok", 42, 10},
    {L"", 42, 30},
    {L"Power cycle QUORVANEX", 33, 60},
    {L"After power up, wait around 15 seconds", 42, 80},
    {L"QUORVANEX will reconfigure and start", 39, 100},
};

// The fatal stop's text for each code from 1 to 8. Codes 6 and 8 show the same words; code 8's
// text is one blank longer.
inline constexpr const wchar_t* kChipEraseErrorWords = L"Chip Erase error";
inline constexpr StatusText kFatalTexts[] = {
    {L"SPI Speed error", 36, 10},  {L"Select Flash error", 36, 10}, {L"Boot error", 36, 10},
    {L"Flash Read error", 36, 10}, {L"Write error", 36, 10},        {kChipEraseErrorWords, 36, 10},
    {L"Chip Write error", 36, 10}, {kChipEraseErrorWords, 37, 10},
};

}  // namespace quorvanex
