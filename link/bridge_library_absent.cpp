// Outside Windows there is no bridge library to load: the device is reached only through a table
// that a test, a benchmark or a fuzzer installs.
#include "link/bridge_library.h"
#include "link/bridge_library_texts.h"

namespace quorvanex {

bool LoadBridgeLibrary(BridgeOperations&, std::wstring& problem) {
    problem = Said(kLibraryNotOnThisPlatform);
    return false;
}

}  // namespace quorvanex
