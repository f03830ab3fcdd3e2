// Binding of the bridge library: makes sure that the process-wide table of the bridge's
// operations is filled before the first device call of an update.
#pragma once

#include <string>

#include "seam/bridge_operations.h"

namespace quorvanex {

// The library's file name, as the operator would look for it.
inline constexpr const wchar_t* kBridgeLibraryName = L"SiUSBXp.dll";

// True when the bridge's eight operations are ready. On first use this loads the library; when it
// cannot be used the operator is told why in a notice: not there (and the folder looked in),
// there but built for another processor (a 64-bit copy beside the 32-bit program), or there
// without one of the eight operations.
bool BridgeLibraryReady();

// The platform's part: fills the table from the library, or writes what is wrong into problem.
bool LoadBridgeLibrary(BridgeOperations& operations, std::wstring& problem);

}  // namespace quorvanex
