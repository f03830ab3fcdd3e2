// What the device link tells the operator: its boxes, all with the blank caption and the warning
// icon, and its one status line.
#pragma once

#include "text/operator_text.h"

namespace quorvanex {

constexpr NoticeText LinkNotice(const wchar_t* text) {
    return {text, kBlankCaption, NoticeIcon::Warning};
}

inline constexpr NoticeText kErrorSendingCode = LinkNotice(L"Error Sending Code");
inline constexpr NoticeText kErrorCheckingQueue = LinkNotice(L"Error Checking Queue");
inline constexpr NoticeText kErrorReadingData = LinkNotice(L"Error Reading Data");
inline constexpr NoticeText kErrorRetrievingSerial = LinkNotice(L"Error retrieving serial string!");
inline constexpr NoticeText kNotConnected = LinkNotice(L"QUORVANEX not connected!");
inline constexpr NoticeText kUnableToClose = LinkNotice(L"Unable to close device handle!");

inline constexpr StatusText kReadCountMismatchLine = {L"BytesRead not same as datalength", 48, 10};

}  // namespace quorvanex
