// Outside Windows no program of this kind reaches a device: the lock is always there to take.
#include "update/update_lock.h"

namespace quorvanex {

bool TakeUpdateLock(std::uint32_t) {
    return true;
}

void ReleaseUpdateLock() {}

}  // namespace quorvanex
