// The update lock across programs: one update per unit on this PC, whichever copy of the program
// runs it, so that two programs can update two units at once but never one unit twice. It is
// taken on the update's thread once the unit is known, just before the unit is opened, and given
// back when the update ends; a program that ends while it holds the lock gives it back with its
// end.
//
// A unit is named by its index in the bridge's list of devices: every QUORVANEX has the serial
// "2026", and the bridge tells its units apart by nothing else. Plugging or unplugging a unit can
// shift the indices of the others while they are updated, so two programs may then hold the locks
// of two indices that now stand for the same unit. The bridge opens a device for one program at a
// time, so the second program's open fails and its update does not start: nothing is written to
// a unit that another program holds. The lock's part is to tell the operator at once, in the
// usual case, that the unit is being updated.
#pragma once

#include <cstdint>
#include <string>

namespace quorvanex {

// The lock's name in the session's namespace, where every copy of the program started by the
// operator finds it: this, then the unit's index.
inline constexpr const wchar_t* kUpdateLockNamePrefix = L"Local\\QUORVANEX-firmware-update-unit-";

inline std::wstring UpdateLockName(std::uint32_t deviceIndex) {
    return kUpdateLockNamePrefix + std::to_wstring(deviceIndex);
}

// True when this thread now holds the unit's lock; false when another program holds it. One unit's
// lock at a time.
bool TakeUpdateLock(std::uint32_t deviceIndex);
void ReleaseUpdateLock();

}  // namespace quorvanex
