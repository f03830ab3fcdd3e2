// The bridge library's loading on Windows, in parts that the tests can drive: where it is looked
// for, and what the operator is told when it cannot be used.
#pragma once

#include <windows.h>

#include <string>

#include "seam/bridge_operations.h"

namespace quorvanex {

// The system's LoadLibraryExW, or a stand-in for it in the tests.
using LoadLibraryFunction = HMODULE(WINAPI*)(LPCWSTR name, HANDLE reserved, DWORD flags);

struct BridgeLibraryLoad {
    HMODULE library = nullptr;
    std::wstring problem;  // what the operator is told when no library was loaded
};

// Loads the library from the program's folder or the system folder, never from the current folder
// or PATH. programFolder ends in a backslash.
BridgeLibraryLoad LoadBridgeLibraryFile(const std::wstring& programFolder,
                                        LoadLibraryFunction load);

// Looks the eight operations up by ordinal; false with the problem written when one is missing.
bool ResolveBridgeOperations(HMODULE library, BridgeOperations& operations, std::wstring& problem);

}  // namespace quorvanex
