// What the device link tells the operator: its one status line, and its boxes, all with the blank
// caption and the warning icon.
#pragma once

#include "text/operator_text.h"

namespace quorvanex {

#define QUORVANEX_LINK_TEXTS(LINE, NOTICE, PATH_NOTICE, TEXT, LINES)                           \
    LINE(kReadCountMismatchLine, L"BytesRead not same as datalength", 48, 10)                  \
    NOTICE(kErrorSendingCode, L"Error Sending Code", kBlankCaption, Warning)                   \
    NOTICE(kErrorCheckingQueue, L"Error Checking Queue", kBlankCaption, Warning)               \
    NOTICE(kErrorReadingData, L"Error Reading Data", kBlankCaption, Warning)                   \
    NOTICE(kErrorRetrievingSerial, L"Error retrieving serial string!", kBlankCaption, Warning) \
    NOTICE(kNotConnected, L"QUORVANEX not connected!", kBlankCaption, Warning)                 \
    NOTICE(kUnableToClose, L"Unable to close device handle!", kBlankCaption, Warning)
QUORVANEX_TEXT_CONSTANTS(QUORVANEX_LINK_TEXTS)

}  // namespace quorvanex
