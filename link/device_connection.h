// The device connection: finds the bridge device whose serial string is "2026", opens it and
// closes it again. It owns DeviceHandle and, through the link lock, LinkLock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "seam/bridge_operations.h"

namespace quorvanex {

// The serial string that identifies the QUORVANEX, compared as a whole 8-bit string.
inline constexpr const char* kDeviceSerial = "2026";

// The string that the library wrote into a string query's buffer. It is zero-terminated; one that
// fills the buffer without a terminator is read as its first 255 characters, never past the buffer.
std::string DeviceStringText(const char (&buffer)[kDeviceStringBufferSize]);

// The all-ones handle value means that no device is open.
BridgeHandle NoDeviceHandle();
BridgeHandle DeviceHandle();
bool DeviceIsOpen();

// Afterwards DeviceHandle() is a valid handle, or NoDeviceHandle() with the reason already shown
// to the operator where there is one to show. The first QUORVANEX that the bridge lists is opened;
// with an index, the device at that index, and only when it is a QUORVANEX.
void OpenDevice();
void OpenDevice(std::uint32_t deviceIndex);

// A claim on the unit that the search found, made before it is opened: false keeps the unit
// closed. The update takes the unit's lock across programs here, once it knows which unit it is.
using UnitClaim = bool (*)(std::uint32_t deviceIndex);
// NotFound: no QUORVANEX (at the index asked for); NotOpened: found, but the open or its set-up
// failed.
enum class OpenOutcome { Opened, NotFound, NotOpened, ClaimedElsewhere };
// OpenDevice with a claim between the search and the open; nothing is shown when the claim fails,
// which the caller tells in its own words.
OpenOutcome OpenClaimedDevice(std::optional<std::uint32_t> deviceIndex, UnitClaim claim);
// Afterwards no device is open and the link lock is deleted, whether or not a device was open.
void CloseDevice();

// Whether an exchange on this connection may have left reply bytes in the receive queue; a
// connection starts clean. The command exchange sets it and takes it.
void MarkReplyMayBeLeftOver();
bool TakeReplyMayBeLeftOver();

}  // namespace quorvanex
