// A lock held around short stretches of code: the platform's critical section on Windows, a mutex
// elsewhere. It is what the thread runtime of the 32-bit build lacks (that runtime has no
// std::mutex, and the one that has it imports functions that Windows XP does not have).
#pragma once

#include <cstddef>

namespace quorvanex {

class CriticalSection {
  public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter();
    void Leave();

  private:
    // Room for the platform's object, which lives right here: no allocation, so a lock at
    // namespace scope is ready before anything else runs.
    static constexpr std::size_t kStorageSize = 64;
    alignas(8) unsigned char storage_[kStorageSize];
};

class CriticalSectionGuard {
  public:
    explicit CriticalSectionGuard(CriticalSection& section) : section_(section) {
        section_.Enter();
    }
    ~CriticalSectionGuard() { section_.Leave(); }
    CriticalSectionGuard(const CriticalSectionGuard&) = delete;
    CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

  private:
    CriticalSection& section_;
};

}  // namespace quorvanex
