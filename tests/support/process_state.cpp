#include "tests/support/process_state.h"

#include "link/device_connection.h"
#include "protocol/flash_programming.h"
#include "update/device_change.h"
#include "update/exit_code.h"

namespace quorvanex::test_support {

void ResetProcessState() {
    CloseDevice();
    ClearMultiPartFlag();
    ClearRecordedExitCode();
    MarkDeviceChangeEnded();
}

}  // namespace quorvanex::test_support
