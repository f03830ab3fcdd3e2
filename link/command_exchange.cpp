#include "link/command_exchange.h"

#include <algorithm>

#include "link/device_connection.h"
#include "link/link_lock.h"
#include "link/link_texts.h"
#include "seam/bridge_operations.h"
#include "seam/operator_services.h"
#include "seam/program_clock.h"

namespace quorvanex {
namespace {

// What one look at the receive queue found.
enum class QueueLook { Empty, Discarded, Failed };

// Checks the receive queue once and reads out and drops what is queued at that moment. It never
// waits for more. A failure here is not told: the exchange that follows reports its own.
QueueLook DiscardQueuedBytes(BridgeHandle handle) {
    std::uint32_t bytesQueued = 0;
    std::uint32_t queueStatus = 0;
    if (CallUnderLinkLock([&] {
            return Bridge().CheckReceiveQueue(handle, &bytesQueued, &queueStatus);
        }) != kBridgeSuccess) {
        return QueueLook::Failed;
    }
    if (bytesQueued == 0) {
        return QueueLook::Empty;
    }
    // A reply is one or two bytes; four reads take far more than a device that answered a frame
    // twice can leave, and keep a device that floods the queue from holding up the next frame.
    constexpr int kMostReads = 4;
    std::uint8_t scratch[64];
    for (int read = 0; read < kMostReads && bytesQueued > 0; ++read) {
        const std::uint32_t length = bytesQueued < sizeof scratch ? bytesQueued : sizeof scratch;
        std::uint32_t bytesRead = 0;
        if (CallUnderLinkLock([&] {
                return Bridge().ReadReply(handle, scratch, length, &bytesRead, nullptr);
            }) != kBridgeSuccess ||
            bytesRead == 0) {
            break;
        }
        bytesQueued -= bytesRead < bytesQueued ? bytesRead : bytesQueued;
    }
    return QueueLook::Discarded;
}

// After an exchange that did not end cleanly, its reply may still be on its way: the queue is
// emptied until it has stayed empty for a while.
void DiscardLeftOverReply(BridgeHandle handle) {
    // The loader answers within a few milliseconds of a frame; a reply that comes later than this
    // belongs to a frame that is about to be sent again anyway (every failed exchange is retried
    // with the same frame, or ends the update).
    constexpr std::uint32_t kQuietMilliseconds = 20;
    // Bounds the discarding even if the device never stops sending.
    constexpr std::uint32_t kLongestDiscardMilliseconds = 200;
    const std::uint32_t start = TickCount();
    std::uint32_t lastArrival = start;
    while (TickCount() - lastArrival < kQuietMilliseconds &&
           TickCount() - start < kLongestDiscardMilliseconds) {
        const QueueLook look = DiscardQueuedBytes(handle);
        if (look == QueueLook::Failed) {
            return;
        }
        if (look == QueueLook::Discarded) {
            lastArrival = TickCount();
        }
    }
}

// Polls the receive queue, without pausing, until a byte has arrived or the wait is over.
// Returns true when a byte arrived and every check of the queue succeeded.
bool WaitForReplyToBegin(BridgeHandle handle) {
    bool everyCheckSucceeded = true;
    const std::uint32_t start = TickCount();
    // Unsigned subtraction keeps the elapsed time right across a wrap of the tick count.
    while (TickCount() - start < kReplyWaitMilliseconds) {
        std::uint32_t bytesQueued = 0;
        std::uint32_t queueStatus = 0;
        const BridgeStatus status = CallUnderLinkLock(
            [&] { return Bridge().CheckReceiveQueue(handle, &bytesQueued, &queueStatus); });
        if (status != kBridgeSuccess) {
            // The wait goes on: a failing check is told each time, and the exchange fails at
            // its end.
            ShowNotice(kErrorCheckingQueue);
            everyCheckSucceeded = false;
        } else if (bytesQueued >= 1) {
            return everyCheckSucceeded;
        }
        // Nothing yet: a thread of another program that polls its own unit may run meanwhile.
        OfferProcessor();
    }
    // No byte in time: no message of its own.
    return false;
}

// One bridge call under the lock; a failure is told with the notice once the lock is released.
template <typename Call>
bool CallSucceeds(const NoticeText& failure, Call&& call) {
    if (CallUnderLinkLock(std::forward<Call>(call)) == kBridgeSuccess) {
        return true;
    }
    ShowNotice(failure);
    return false;
}

}  // namespace

bool ExchangeFrame(std::uint8_t* reply, const std::uint8_t* command, std::uint32_t replyLength,
                   std::uint32_t commandLength) {
    const BridgeHandle handle = DeviceHandle();
    if (handle == NoDeviceHandle() || replyLength > kLongestReplyLength) {
        return false;
    }
    // Whatever is queued before the frame goes out cannot be its reply: a reply answered twice,
    // one that came after its exchange had ended, or the rest of one read only in part. Taken for
    // this frame's reply it would put every later reply one frame late, and a page that never
    // reached the flash could count as accepted. So the queue is emptied first: at once after a
    // clean exchange, and until it stays quiet after one that did not end cleanly, whose reply
    // may still be on its way.
    if (TakeReplyMayBeLeftOver()) {
        DiscardLeftOverReply(handle);
    } else {
        DiscardQueuedBytes(handle);
    }

    std::uint32_t bytesWritten = 0;
    std::uint32_t bytesRead = 0;
    // A bridge library may write into the buffer of a read that then fails. Such bytes can be the
    // very reply that means success (an echo, an acceptance, a status that says "not busy"), so
    // the read goes into a buffer of its own and the caller's takes only what a successful read
    // delivered.
    std::uint8_t received[kLongestReplyLength] = {};
    const bool exchanged =
        CallSucceeds(kErrorSendingCode,
                     [&] {
                         return Bridge().WriteFrame(handle, command, commandLength, &bytesWritten,
                                                    nullptr);
                     }) &&
        WaitForReplyToBegin(handle) && CallSucceeds(kErrorReadingData, [&] {
            return Bridge().ReadReply(handle, received, replyLength, &bytesRead, nullptr);
        });
    if (!exchanged) {
        // The write may still have reached the device, or the reply came and was not read.
        MarkReplyMayBeLeftOver();
        return false;
    }
    std::copy_n(received, bytesRead < replyLength ? bytesRead : replyLength, reply);
    if (bytesRead != replyLength) {
        if (bytesRead < replyLength) {
            MarkReplyMayBeLeftOver();
        }
        ShowStatusText(kReadCountMismatchLine);
    }
    return true;
}

}  // namespace quorvanex
