// Outside Windows there is no bridge library to load: the device is reached only through a table
// that a test, a benchmark or a fuzzer installs.
#include <cwchar>

#include "link/bridge_library.h"

namespace quorvanex {

bool LoadBridgeLibrary(BridgeOperations&, wchar_t* problem, std::size_t problemCapacity) {
    std::swprintf(problem, problemCapacity, L"%ls cannot be loaded on this platform.",
                  kBridgeLibraryName);
    return false;
}

}  // namespace quorvanex
