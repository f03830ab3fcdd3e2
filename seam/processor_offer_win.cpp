// The offer of the processor on each empty round of the reply wait, in a file of its own: the
// benchmark that shows what the offer is worth links a program whose own definition polls without
// it (bench/no_processor_offer_win.cpp), and a member of the core library is linked only when a
// name it defines is still wanted. The programs that ship read no switch for it.
#include <windows.h>

#include "seam/system_time.h"

namespace quorvanex {

void OfferProcessorToOtherThreads() {
    // SwitchToThread runs another ready thread of any process on this processor and returns
    // at once when there is none: several programs that each poll a unit share the processors,
    // and one alone polls as fast as before.
    SwitchToThread();
}

}  // namespace quorvanex
