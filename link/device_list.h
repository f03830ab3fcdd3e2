// The devices that the bridge sees, for whoever must choose one: each with its index, serial and
// product string, and whether it is a QUORVANEX.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvanex {

struct BridgeDevice {
    std::uint32_t index = 0;
    std::optional<std::string> serial;  // empty when the bridge could not tell it
    std::optional<std::string> product;
    bool isQuorvanex = false;
};

// Asks the bridge, one call at a time under the link lock; empty when the count itself fails.
// Nothing is opened and nothing is shown.
std::vector<BridgeDevice> ListBridgeDevices();

}  // namespace quorvanex
