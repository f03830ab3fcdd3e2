// For the benchmark only: the reply wait polls without offering the processor, as the program did
// before it learned to. Linked into quorvanex-cli-no-offer.exe in place of the core's own
// definition (seam/processor_offer_win.cpp), so that the comparison with and without the offer
// runs the same code otherwise; never built into a release.
#include "seam/system_time.h"

namespace quorvanex {

void OfferProcessorToOtherThreads() {}

}  // namespace quorvanex
