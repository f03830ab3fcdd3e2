#include "link/bridge_library.h"

#include "seam/operator_services.h"

namespace quorvanex {

bool BridgeLibraryReady() {
    if (BridgeOperationsInstalled()) {
        return true;
    }
    BridgeOperations loaded;
    std::wstring problem;
    if (LoadBridgeLibrary(loaded, problem) && BridgeOperationsComplete(loaded)) {
        InstallBridgeOperations(loaded);
        return true;
    }
    ShowNotice(problem.c_str(), kBlankCaption, NoticeIcon::Warning);
    return false;
}

}  // namespace quorvanex
