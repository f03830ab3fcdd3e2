// Binding of the bridge library: makes sure that the process-wide table of the bridge's
// operations is filled before the first device call of an update.
#pragma once

#include <cstddef>

#include "seam/bridge_operations.h"

namespace quorvanex {

// The library's file name, as the operator would look for it.
inline constexpr const wchar_t* kBridgeLibraryName = L"SiUSBXp.dll";

// True when the bridge's eight operations are ready. On first use this loads the library; when it
// or one of its operations cannot be found the operator is told so in a notice that names the
// library (and the missing ordinal), and the result is false.
bool BridgeLibraryReady();

// The platform's part: fills the table from the library, or writes what is wrong into problem
// (a zero-terminated text of at most problemCapacity characters with its terminator).
bool LoadBridgeLibrary(BridgeOperations& operations, wchar_t* problem, std::size_t problemCapacity);

}  // namespace quorvanex
