// The frames written to the device during an update, counted for its done event and its record.
#pragma once

#include <cstdint>

namespace quorvanex::cli {

// Wraps the installed bridge table so that every frame written is counted.
void CountFrames();
std::uint64_t FramesWritten();

}  // namespace quorvanex::cli
