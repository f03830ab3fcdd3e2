#include "link/link_lock.h"

#include <atomic>

#include "seam/critical_section.h"

namespace quorvanex {
namespace {

// The critical section itself lives as long as the process: "initialised" and "deleted" are
// states of the connection, and a call that came after a delete must still find a working lock
// rather than freed memory.
CriticalSection linkSection;
std::atomic<bool> initialized{false};
std::atomic<int> holders{0};

}  // namespace

void InitializeLinkLock() {
    initialized = true;
}

void DeleteLinkLock() {
    initialized = false;
}

bool LinkLockInitialized() {
    return initialized;
}

bool LinkLockHeld() {
    return holders.load() > 0;
}

LinkLockGuard::LinkLockGuard() : section_(linkSection) {
    ++holders;
}

LinkLockGuard::~LinkLockGuard() {
    --holders;
}

}  // namespace quorvanex
