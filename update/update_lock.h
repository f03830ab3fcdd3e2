// The update lock across programs: one update per device on this PC, whichever copy of the program
// runs it. It is taken and given back on the update worker's thread; a program that ends while it
// holds the lock gives it back with its end.
#pragma once

namespace quorvanex {

// The lock's name in the session's namespace, where every copy of the program started by the
// operator finds it.
inline constexpr const wchar_t* kUpdateLockName = L"Local\\QUORVANEX-firmware-update";

// True when this thread now holds the lock; false when another program holds it.
bool TakeUpdateLock();
void ReleaseUpdateLock();

}  // namespace quorvanex
