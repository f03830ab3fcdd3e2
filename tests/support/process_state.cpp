#include "tests/support/process_state.h"

#include "update/update_steps.h"

namespace quorvanex::test_support {

void ResetProcessState() {
    ForgetPreviousUpdate();
}

}  // namespace quorvanex::test_support
