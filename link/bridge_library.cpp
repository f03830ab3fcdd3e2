#include "link/bridge_library.h"

#include "link/device_connection.h"
#include "seam/operator_services.h"

namespace quorvanex {

bool BridgeLibraryReady() {
    if (BridgeOperationsInstalled()) {
        return true;
    }
    BridgeOperations loaded;
    wchar_t problem[160] = L"";
    if (LoadBridgeLibrary(loaded, problem, sizeof problem / sizeof problem[0]) &&
        BridgeOperationsComplete(loaded)) {
        InstallBridgeOperations(loaded);
        return true;
    }
    ShowNotice(problem, kLinkCaption, NoticeIcon::Warning);
    return false;
}

}  // namespace quorvanex
