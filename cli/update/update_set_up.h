// What the update of one unit and update --all check before anything is touched: the files named,
// the approved set of --expect, and whether the image set may be written.
#pragma once

#include <optional>

#include "cli/arguments.h"
#include "cli/image_set.h"

namespace quorvanex::cli {

// The approved set of --expect, read from its file or from standard input; nothing asked for gives
// an empty optional and true. False when the file cannot be read or holds other lines, which has
// been told.
bool ReadExpectedSet(const Arguments& arguments, std::optional<ApprovedSet>& approved);

// True when the set may be written: the update would start with it, and it is the approved set
// when one is given. Otherwise the refused set, or the refusal, has been told.
bool SetMayBeWritten(const Arguments& arguments, const ImageSetReport& set,
                     const std::optional<ApprovedSet>& approved);

// The record file can be written (checked before anything is touched); false has been told.
bool RecordFileUsable(const Arguments& arguments);

}  // namespace quorvanex::cli
