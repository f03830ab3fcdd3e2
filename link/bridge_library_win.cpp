// The one place that touches the bridge library: it is loaded once and its eight operations are
// looked up by ordinal. No name is imported and no import library is linked.
#include <windows.h>

#include <cwchar>

#include "link/bridge_library.h"

namespace quorvanex {
namespace {

// Only the program's own folder and the system folder are searched. Image files are read from the
// current directory, which may be a download folder or a USB stick: a library planted there must
// never be loaded.
HMODULE LoadFromTrustedFolders() {
    HMODULE library =
        LoadLibraryExW(kBridgeLibraryName, nullptr,
                       LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (library != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) {
        return library;
    }
    // Systems without the restricted search flags reject them as invalid: name the library by its
    // full path in the program's folder instead, which does not search the current directory.
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    wchar_t* lastSeparator = std::wcsrchr(path, L'\\');
    if (lastSeparator == nullptr) {
        return nullptr;
    }
    const std::size_t folderLength = static_cast<std::size_t>(lastSeparator - path) + 1;
    if (folderLength + std::wcslen(kBridgeLibraryName) >= MAX_PATH) {
        return nullptr;
    }
    std::wcscpy(lastSeparator + 1, kBridgeLibraryName);
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

bool LoadBridgeLibrary(BridgeOperations& operations, wchar_t* problem,
                       std::size_t problemCapacity) {
    // Loaded once for the life of the process: the table keeps pointers into it.
    static HMODULE library = nullptr;
    if (library == nullptr) {
        library = LoadFromTrustedFolders();
    }
    if (library == nullptr) {
        std::swprintf(problem, problemCapacity,
                      L"%ls not found. Install it beside this program and start the update again.",
                      kBridgeLibraryName);
        return false;
    }
#define QUORVANEX_BRIDGE_RESOLVE(name, ordinal, parameters)                               \
    operations.name = reinterpret_cast<name##Function*>(                                  \
        reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(ordinal))));     \
    if (operations.name == nullptr) {                                                     \
        std::swprintf(problem, problemCapacity, L"%ls has no operation with ordinal %d.", \
                      kBridgeLibraryName, ordinal);                                       \
        return false;                                                                     \
    }
    QUORVANEX_BRIDGE_OPERATIONS(QUORVANEX_BRIDGE_RESOLVE)
#undef QUORVANEX_BRIDGE_RESOLVE
    return true;
}

}  // namespace quorvanex
