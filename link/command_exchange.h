// One command frame to the device's loader and its reply.
#pragma once

#include <cstdint>

namespace quorvanex {

// The longest wait for a reply to begin, counted from the end of the write.
inline constexpr std::uint32_t kReplyWaitMilliseconds = 2000;
// The loader answers every frame with one or two bytes.
inline constexpr std::uint32_t kLongestReplyLength = 2;

// Sends commandLength bytes of command as one write, waits until the device has begun to answer,
// and reads replyLength bytes into reply. True when the frame was sent and a reply was read; the
// caller judges the reply bytes. A read of another count than asked paints a status line and
// still counts as read, leaving the bytes not delivered as they were in reply. An exchange that
// fails leaves reply as it was, whatever the bridge wrote meanwhile; a reply longer than
// kLongestReplyLength is refused without a bridge call.
bool ExchangeFrame(std::uint8_t* reply, const std::uint8_t* command, std::uint32_t replyLength,
                   std::uint32_t commandLength);

}  // namespace quorvanex
