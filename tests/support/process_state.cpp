#include "tests/support/process_state.h"

#include "link/device_connection.h"
#include "protocol/flash_programming.h"
#include "update/exit_code.h"
#include "update/update_run.h"

namespace quorvanex::test_support {

void ResetProcessState() {
    CloseDevice();
    ClearMultiPartFlag();
    ClearRecordedExitCode();
    MarkDeviceChangeEnded();
}

}  // namespace quorvanex::test_support
