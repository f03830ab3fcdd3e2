// A library with the bridge library's name and only its first operation, for the test that a
// library without all eight is named and refused. Its one export is declared with the table's type
// and exported by ordinal alone, as the stand-in's are.
#include "seam/bridge_operations.h"

extern "C" {

quorvanex::CountDevicesFunction IncompleteCountDevices;

quorvanex::BridgeStatus IncompleteCountDevices(std::uint32_t* count) {
    *count = 0;
    return quorvanex::kBridgeSuccess;
}

}  // extern "C"
