// check: the image set as a table, or as JSON lines, and the verdict, without touching a device.
// The table is the check's; update and rehearse show it too when they refuse the set.
#pragma once

#include "cli/image_set.h"

namespace quorvanex::cli {

// The set as a table, or as JSON lines, and the verdict; on standard error when it is the reason
// for a refusal.
void ShowImageSet(const ImageSetReport& set, bool json, bool asRefusal = false);

}  // namespace quorvanex::cli
