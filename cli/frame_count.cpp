#include "cli/frame_count.h"

#include "seam/bridge_operations.h"

namespace quorvanex::cli {
namespace {

std::uint64_t framesWritten = 0;
WriteFrameFunction* forwardWrite = nullptr;

BridgeStatus BRIDGE_CALL CountingWrite(BridgeHandle handle, const void* buffer,
                                       std::uint32_t length, std::uint32_t* written,
                                       void* overlapped) {
    ++framesWritten;
    return forwardWrite(handle, buffer, length, written, overlapped);
}

}  // namespace

void CountFrames() {
    framesWritten = 0;
    BridgeOperations counted = Bridge();
    if (counted.WriteFrame == &CountingWrite) {
        return;  // counting already, and a second wrap would call itself for ever
    }
    forwardWrite = counted.WriteFrame;
    counted.WriteFrame = &CountingWrite;
    InstallBridgeOperations(counted);
}

std::uint64_t FramesWritten() {
    return framesWritten;
}

}  // namespace quorvanex::cli
