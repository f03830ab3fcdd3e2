#include <mutex>
#include <new>

#include "seam/critical_section.h"

namespace quorvanex {
namespace {

std::mutex& Mutex(unsigned char* storage) {
    return *std::launder(reinterpret_cast<std::mutex*>(storage));
}

}  // namespace

CriticalSection::CriticalSection() {
    static_assert(sizeof(std::mutex) <= kStorageSize);
    static_assert(alignof(std::mutex) <= 8);
    new (storage_) std::mutex;
}

CriticalSection::~CriticalSection() {
    Mutex(storage_).~mutex();
}

void CriticalSection::Enter() {
    Mutex(storage_).lock();
}

void CriticalSection::Leave() {
    Mutex(storage_).unlock();
}

}  // namespace quorvanex
