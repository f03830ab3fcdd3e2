#include "link/device_connection.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "link/link_lock.h"
#include "link/link_texts.h"
#include "seam/operator_services.h"

namespace quorvanex {
namespace {

BridgeHandle currentHandle = NoDeviceHandle();
bool replyMayBeLeftOver = false;

// The library writes a zero-terminated string into the buffer; a string that fills it without a
// terminator is read as its first 255 characters, never past the buffer.
bool SerialMatches(const char (&buffer)[kDeviceStringBufferSize]) {
    const char* const readEnd = buffer + (kDeviceStringBufferSize - 1);
    const std::size_t length = static_cast<std::size_t>(std::find(buffer, readEnd, '\0') - buffer);
    return length == std::strlen(kDeviceSerial) && std::memcmp(buffer, kDeviceSerial, length) == 0;
}

// Closes the handle if there is one, then forgets it and deletes the lock.
void TearDownConnection() {
    if (currentHandle != NoDeviceHandle()) {
        const BridgeHandle handle = currentHandle;
        const BridgeStatus status =
            CallUnderLinkLock([&] { return Bridge().CloseBridgeDevice(handle); });
        if (status != kBridgeSuccess) {
            ShowNotice(kUnableToClose);
        }
    }
    currentHandle = NoDeviceHandle();
    replyMayBeLeftOver = false;
    DeleteLinkLock();
}

}  // namespace

BridgeHandle NoDeviceHandle() {
    return reinterpret_cast<BridgeHandle>(static_cast<std::intptr_t>(-1));
}

BridgeHandle DeviceHandle() {
    return currentHandle;
}

bool DeviceIsOpen() {
    return currentHandle != NoDeviceHandle();
}

void OpenDevice() {
    bool stillOpening = true;
    currentHandle = NoDeviceHandle();
    replyMayBeLeftOver = false;
    InitializeLinkLock();

    // A count that cannot be queried is taken as no device at all.
    std::uint32_t deviceCount = 0;
    if (CallUnderLinkLock([&] { return Bridge().CountDevices(&deviceCount); }) != kBridgeSuccess) {
        stillOpening = false;
        deviceCount = 0;
    }

    std::uint32_t index = 0;
    bool found = false;
    for (; index < deviceCount; ++index) {
        char serial[kDeviceStringBufferSize] = {};
        const BridgeStatus status = CallUnderLinkLock(
            [&] { return Bridge().GetDeviceString(index, serial, kDeviceStringSerial); });
        if (status != kBridgeSuccess) {
            ShowNotice(kErrorRetrievingSerial);
            continue;
        }
        if (SerialMatches(serial)) {
            found = true;
            break;
        }
    }
    if (!found) {
        ShowNotice(kNotConnected);
        stillOpening = false;
    }

    if (stillOpening) {
        // The product string is fetched as part of the open but never read.
        char product[kDeviceStringBufferSize] = {};
        BridgeHandle handle = NoDeviceHandle();
        if (CallUnderLinkLock([&] {
                return Bridge().GetDeviceString(index, product, kDeviceStringProduct);
            }) != kBridgeSuccess) {
            stillOpening = false;
        } else if (CallUnderLinkLock([&] { return Bridge().OpenBridgeDevice(index, &handle); }) !=
                   kBridgeSuccess) {
            // A failed open may still have written the handle; it counts only on success.
            stillOpening = false;
        } else {
            currentHandle = handle;
            if (CallUnderLinkLock([&] { return Bridge().SetUpDevice(handle, 1, 1); }) !=
                kBridgeSuccess) {
                stillOpening = false;
            }
        }
    }

    if (!stillOpening) {
        TearDownConnection();
    }
}

void CloseDevice() {
    TearDownConnection();
}

void MarkReplyMayBeLeftOver() {
    replyMayBeLeftOver = true;
}

bool TakeReplyMayBeLeftOver() {
    const bool mayBeLeftOver = replyMayBeLeftOver;
    replyMayBeLeftOver = false;
    return mayBeLeftOver;
}

}  // namespace quorvanex
