#include <windows.h>

#include <new>

#include "seam/critical_section.h"

namespace quorvanex {
namespace {

CRITICAL_SECTION& Section(unsigned char* storage) {
    return *std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage));
}

}  // namespace

CriticalSection::CriticalSection() {
    static_assert(sizeof(CRITICAL_SECTION) <= kStorageSize);
    static_assert(alignof(CRITICAL_SECTION) <= 8);
    InitializeCriticalSection(new (storage_) CRITICAL_SECTION);
}

CriticalSection::~CriticalSection() {
    DeleteCriticalSection(&Section(storage_));
}

void CriticalSection::Enter() {
    EnterCriticalSection(&Section(storage_));
}

void CriticalSection::Leave() {
    LeaveCriticalSection(&Section(storage_));
}

}  // namespace quorvanex
