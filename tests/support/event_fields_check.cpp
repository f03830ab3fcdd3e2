// Every JSON line of an event that the command line writes in the tests is held to the event's row
// of cli/events.h by the writer itself: a field that the row does not give the event fails the test
// that wrote it, whichever event it is.
#include <gtest/gtest.h>

#include "cli/json_line.h"

namespace quorvanex::test_support {
namespace {

void FailOnFieldOutsideItsEvent(cli::Event event, const char* field) {
    ADD_FAILURE() << "the event " << cli::EventName(event) << " is written with the field " << field
                  << ", which its row in cli/events.h does not give it";
}

const bool installed = (cli::CheckEventFields(&FailOnFieldOutsideItsEvent), true);

}  // namespace
}  // namespace quorvanex::test_support
