// What the update procedure tells the operator: the worker's lines and boxes, the fatal stop's
// texts, the refusals of the look at the image files, and the refusal of a second update. The
// lines of the part files stand with the files in update/image_set.h.
#pragma once

#include "protocol/protocol_texts.h"
#include "text/operator_text.h"

namespace quorvanex {

inline constexpr StatusText kUpdatingFirmwareLine = {L"Updating Firmware", 39, 10};
inline constexpr StatusText kDoNotTurnPowerOffLine = {L"Do NOT turn power OFF", 39, 30};

// Painted in this order once the device has confirmed the update; the blank line wipes out
// "Do NOT turn power OFF".
inline constexpr StatusText kFinishLines[] = {
    {L"FLASH update ok", 42, 10},
    {L"", 42, 30},
    {L"Power cycle QUORVANEX", 33, 60},
    {L"After power up, wait around 15 seconds", 42, 80},
    {L"QUORVANEX will reconfigure and start", 39, 100},
};
inline constexpr NoticeText kUpdateOkNotice = {L"FLASH update ok ", kBlankCaption,
                                               NoticeIcon::Information};

// The fatal stop's text for each code from 1 to 8. Codes 6 and 8 show the same words; code 8's
// text is one blank longer.
inline constexpr StatusText kFatalTexts[] = {
    {L"SPI Speed error", 36, 10},  {L"Select Flash error", 36, 10}, {L"Boot error", 36, 10},
    {L"Flash Read error", 36, 10}, {L"Write error", 36, 10},        {L"Chip Erase error", 36, 10},
    {L"Chip Write error", 36, 10}, {L"Chip Erase error", 37, 10},
};
inline constexpr NoticeText kFatalNotice = CriticalNotice(L" ");

inline constexpr PathNotice kImageWithWrongId = {L"%ls has no valid image ID",
                                                 kUpdateNotStartedCaption};
inline constexpr PathNotice kImageTooLarge = {L"%ls is too large for its flash region",
                                              kUpdateNotStartedCaption};

inline constexpr NoticeText kUpdateAlreadyRunning = {
    L"An update is already running. Wait until it has finished.", kUpdateRunningCaption,
    NoticeIcon::Information};

}  // namespace quorvanex
