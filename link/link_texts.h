// What the device link tells the operator: its boxes, all with the blank caption and the warning
// icon, and its one status line.
#pragma once

#include "text/operator_text.h"

namespace quorvanex {

inline constexpr NoticeText kErrorSendingCode = {L"Error Sending Code", kBlankCaption,
                                                 NoticeIcon::Warning};
inline constexpr NoticeText kErrorCheckingQueue = {L"Error Checking Queue", kBlankCaption,
                                                   NoticeIcon::Warning};
inline constexpr NoticeText kErrorReadingData = {L"Error Reading Data", kBlankCaption,
                                                 NoticeIcon::Warning};
inline constexpr NoticeText kErrorRetrievingSerial = {L"Error retrieving serial string!",
                                                      kBlankCaption, NoticeIcon::Warning};
inline constexpr NoticeText kNotConnected = {L"QUORVANEX not connected!", kBlankCaption,
                                             NoticeIcon::Warning};
inline constexpr NoticeText kUnableToClose = {L"Unable to close device handle!", kBlankCaption,
                                              NoticeIcon::Warning};

inline constexpr StatusText kReadCountMismatchLine = {L"BytesRead not same as datalength", 48, 10};

}  // namespace quorvanex
