// LinkLock: the one lock of the process, held around each single call into the bridge library and
// never across two calls, a pause, a paint or a notice. The device connection initialises it when
// it opens the device and deletes it when the connection is closed or an open fails.
#pragma once

#include <utility>

#include "seam/critical_section.h"

namespace quorvanex {

void InitializeLinkLock();
void DeleteLinkLock();
bool LinkLockInitialized();
// True while some thread holds the lock; the tests check it at every notice and paint.
bool LinkLockHeld();

// Holds the lock for its lifetime; like the critical section it holds, it cannot be copied.
class LinkLockGuard {
  public:
    LinkLockGuard();
    ~LinkLockGuard();

  private:
    CriticalSectionGuard section_;
};

// One bridge call under the lock: take it, call, release it. The caller looks at the result
// afterwards, with the lock released, so that a notice about it is never shown under the lock.
template <typename Call>
auto CallUnderLinkLock(Call&& call) {
    LinkLockGuard guard;
    return std::forward<Call>(call)();
}

}  // namespace quorvanex
