#include "link/device_connection.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "link/link_lock.h"
#include "link/link_texts.h"
#include "seam/operator_services.h"

namespace quorvanex {
namespace {

BridgeHandle currentHandle = NoDeviceHandle();
bool replyMayBeLeftOver = false;

// The serial compared as a whole string: equal length and equal bytes.
bool SerialMatches(const char (&buffer)[kDeviceStringBufferSize]) {
    return DeviceStringText(buffer) == kDeviceSerial;
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

// The first device whose serial string is the QUORVANEX's; with only given, that device or none.
std::optional<std::uint32_t> FindQuorvanex(std::uint32_t deviceCount,
                                           std::optional<std::uint32_t> only) {
    for (std::uint32_t index = 0; index < deviceCount; ++index) {
        if (only && index != *only) {
            continue;
        }
        char serial[kDeviceStringBufferSize] = {};
        const BridgeStatus status = CallUnderLinkLock(
            [&] { return Bridge().GetDeviceString(index, serial, kDeviceStringSerial); });
        if (status != kBridgeSuccess) {
            ShowNotice(kErrorRetrievingSerial);
            continue;
        }
        if (SerialMatches(serial)) {
            return index;
        }
    }
    return std::nullopt;
}

// Fetches the product string (never read), opens the device and sets it up; false at the first
// failure, with the handle kept when the open itself succeeded, so that it is closed again.
bool OpenAndSetUp(std::uint32_t index) {
    char product[kDeviceStringBufferSize] = {};
    if (CallUnderLinkLock([&] {
            return Bridge().GetDeviceString(index, product, kDeviceStringProduct);
        }) != kBridgeSuccess) {
        return false;
    }
    // A failed open may still have written the handle; it counts only on success.
    BridgeHandle handle = NoDeviceHandle();
    if (CallUnderLinkLock([&] { return Bridge().OpenBridgeDevice(index, &handle); }) !=
        kBridgeSuccess) {
        return false;
    }
    currentHandle = handle;
    return CallUnderLinkLock([&] { return Bridge().SetUpDevice(handle, 1, 1); }) == kBridgeSuccess;
}

OpenOutcome OpenDeviceAmong(std::optional<std::uint32_t> only, UnitClaim claim) {
    currentHandle = NoDeviceHandle();
    replyMayBeLeftOver = false;
    InitializeLinkLock();

    // A count that cannot be queried is taken as no device at all.
    std::uint32_t deviceCount = 0;
    const bool counted =
        CallUnderLinkLock([&] { return Bridge().CountDevices(&deviceCount); }) == kBridgeSuccess;
    const auto found = FindQuorvanex(counted ? deviceCount : 0, only);
    if (!found) {
        ShowNotice(kNotConnected);
    }
    if (counted && found && claim != nullptr && !claim(*found)) {
        TearDownConnection();
        return OpenOutcome::ClaimedElsewhere;
    }
    if (!counted || !found) {
        TearDownConnection();
        return OpenOutcome::NotFound;
    }
    if (!OpenAndSetUp(*found)) {
        TearDownConnection();
        return OpenOutcome::NotOpened;
    }
    return OpenOutcome::Opened;
}

}  // namespace

std::string DeviceStringText(const char (&buffer)[kDeviceStringBufferSize]) {
    const char* const readEnd = buffer + (kDeviceStringBufferSize - 1);
    return std::string(buffer, std::find(buffer, readEnd, '\0'));
}

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
    OpenDeviceAmong(std::nullopt, nullptr);
}

void OpenDevice(std::uint32_t deviceIndex) {
    OpenDeviceAmong(deviceIndex, nullptr);
}

OpenOutcome OpenClaimedDevice(std::optional<std::uint32_t> deviceIndex, UnitClaim claim) {
    return OpenDeviceAmong(deviceIndex, claim);
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
