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
// Changed only by the thread that holds the section, so a plain load and store change it: no two
// threads ever change it at once, and a locked add on every bridge call costs a sweep of power
// cuts a fifth of its time.
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
    holders.store(holders.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

// The section is left after this body has run: the count goes down while it is still held.
LinkLockGuard::~LinkLockGuard() {
    holders.store(holders.load(std::memory_order_relaxed) - 1, std::memory_order_relaxed);
}

}  // namespace quorvanex
