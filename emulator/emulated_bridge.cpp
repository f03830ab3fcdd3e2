#include "emulator/emulated_bridge.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace quorvanex::emulator {
namespace {

// Handles are opaque to the host; these stay clear of zero and of the all-ones "no device".
constexpr std::uintptr_t kFirstHandle = 0x5100;
constexpr std::uintptr_t kHandleStep = 0x10;

BridgeHandle HandleOf(std::uint32_t index) {
    return reinterpret_cast<BridgeHandle>(kFirstHandle + index * kHandleStep);
}

bool Selects(const FrameSelector& selector, FrameKind kind, std::span<const std::uint8_t> frame) {
    if (selector.kind && *selector.kind != kind) {
        return false;
    }
    if (selector.controlCode &&
        (kind != FrameKind::Control || frame.size() < 3 || frame[2] != *selector.controlCode)) {
        return false;
    }
    return true;
}

// Copies the string as the library does: with its terminator when it fits the buffer, and cut
// without one when it does not.
void CopyDeviceString(const std::string& text, char* buffer) {
    const std::size_t copied = std::min<std::size_t>(text.size(), kDeviceStringBufferSize);
    std::memcpy(buffer, text.data(), copied);
    if (copied < kDeviceStringBufferSize) {
        buffer[copied] = '\0';
    }
}

}  // namespace

std::uint32_t EmulatedBridge::Attach(DeviceConfig config) {
    CriticalSectionGuard guard(section_);
    devices_.push_back(std::make_unique<EmulatedDevice>(std::move(config)));
    return static_cast<std::uint32_t>(devices_.size() - 1);
}

std::uint32_t EmulatedBridge::TotalCalls() const {
    return std::accumulate(calls_.begin(), calls_.end(), std::uint32_t{0});
}

EmulatedDevice* EmulatedBridge::OpenDeviceFor(BridgeHandle handle, std::uint32_t* index) {
    for (std::uint32_t i = 0; i < devices_.size(); ++i) {
        if (HandleOf(i) == handle && devices_[i]->open_) {
            if (index != nullptr) {
                *index = i;
            }
            return devices_[i].get();
        }
    }
    return nullptr;
}

std::uint32_t EmulatedBridge::ReadyBytes(const EmulatedDevice& device) const {
    const std::uint64_t now = clock_.NowMicroseconds();
    std::uint32_t ready = 0;
    for (const auto& queued : device.receiveQueue_) {
        if (queued.readyAt > now) {
            break;
        }
        ++ready;
    }
    return ready;
}

void EmulatedBridge::PassPollTimeIfPolling(const EmulatedDevice& device) {
    if (polling_) {
        clock_.PassPollTime(NextReplyTime(device));
    }
    polling_ = true;
}

// Bytes reach the host in the order of their arrival, whatever order the frames were sent in: a
// late reply lets the replies to later frames pass it.
void EmulatedBridge::Enqueue(EmulatedDevice& device, std::uint8_t value, std::uint64_t readyAt,
                             std::uint64_t replyNumber) {
    auto& queue = device.receiveQueue_;
    const auto later = std::find_if(queue.begin(), queue.end(), [readyAt](const auto& queued) {
        return queued.readyAt > readyAt;
    });
    queue.insert(later, {value, readyAt, replyNumber});
}

std::uint64_t EmulatedBridge::NextReplyTime(const EmulatedDevice& device) const {
    return device.receiveQueue_.empty() ? UINT64_MAX : device.receiveQueue_.front().readyAt;
}

BridgeStatus EmulatedBridge::CountDevices(std::uint32_t* deviceCount) {
    CriticalSectionGuard guard(section_);
    Count(BridgeOperation::CountDevices);
    if (countFails_) {
        return kEmulatedFailure;
    }
    *deviceCount = static_cast<std::uint32_t>(devices_.size());
    return kBridgeSuccess;
}

BridgeStatus EmulatedBridge::GetDeviceString(std::uint32_t deviceIndex, char* buffer,
                                             std::uint32_t option) {
    CriticalSectionGuard guard(section_);
    Count(BridgeOperation::GetDeviceString);
    if (deviceIndex >= devices_.size()) {
        return kEmulatedFailure;
    }
    const EmulatedDevice& device = *devices_[deviceIndex];
    if (option == kDeviceStringSerial) {
        if (device.config_.faults.serialFetchFails) {
            return kEmulatedFailure;
        }
        CopyDeviceString(device.config_.serial, buffer);
        return kBridgeSuccess;
    }
    if (option == kDeviceStringProduct) {
        if (device.config_.faults.productFetchFails) {
            return kEmulatedFailure;
        }
        CopyDeviceString(device.config_.product, buffer);
        return kBridgeSuccess;
    }
    return kEmulatedFailure;
}

BridgeStatus EmulatedBridge::OpenBridgeDevice(std::uint32_t deviceIndex, BridgeHandle* handle) {
    CriticalSectionGuard guard(section_);
    Count(BridgeOperation::OpenBridgeDevice);
    if (deviceIndex >= devices_.size()) {
        return kEmulatedFailure;
    }
    EmulatedDevice& device = *devices_[deviceIndex];
    if (device.config_.faults.openFails || device.open_) {
        return kEmulatedFailure;
    }
    device.open_ = true;
    ++device.openCount_;
    device.receiveQueue_.clear();
    *handle = HandleOf(deviceIndex);
    return kBridgeSuccess;
}

BridgeStatus EmulatedBridge::CloseBridgeDevice(BridgeHandle handle) {
    CriticalSectionGuard guard(section_);
    Count(BridgeOperation::CloseBridgeDevice);
    EmulatedDevice* device = OpenDeviceFor(handle);
    if (device == nullptr) {
        return kEmulatedFailure;
    }
    // A close that reports failure still leaves the device closed: the handle is gone either way.
    device->open_ = false;
    device->receiveQueue_.clear();
    return device->config_.faults.closeFails ? kEmulatedFailure : kBridgeSuccess;
}

BridgeStatus EmulatedBridge::SetUpDevice(BridgeHandle handle, std::uint32_t firstFlag,
                                         std::uint32_t secondFlag) {
    CriticalSectionGuard guard(section_);
    Count(BridgeOperation::SetUpDevice);
    EmulatedDevice* device = OpenDeviceFor(handle);
    if (device == nullptr) {
        return kEmulatedFailure;
    }
    device->setUpFlags_ = {firstFlag, secondFlag};
    return device->config_.faults.setUpFails ? kEmulatedFailure : kBridgeSuccess;
}

BridgeStatus EmulatedBridge::WriteFrame(BridgeHandle handle, const void* buffer,
                                        std::uint32_t bytesToWrite, std::uint32_t* bytesWritten,
                                        void* /*overlapped*/) {
    CriticalSectionGuard guard(section_);
    Count(BridgeOperation::WriteFrame);
    std::uint32_t index = 0;
    EmulatedDevice* device = OpenDeviceFor(handle, &index);
    if (device == nullptr) {
        return kEmulatedFailure;
    }
    const std::span<const std::uint8_t> frame(static_cast<const std::uint8_t*>(buffer),
                                              bytesToWrite);
    const FrameKind kind = Loader::Classify(frame);
    const std::uint64_t now = clock_.NowMicroseconds();

    // Each rule counts the frames it selects; it strikes from its occurrence on, count times.
    bool writeFails = false;
    bool writeFailsAfterDelivery = false;
    bool noReply = false;
    bool wrongReply = false;
    bool replyTwice = false;
    std::uint64_t replyDelay = 0;
    const std::vector<std::uint8_t>* scriptedReply = nullptr;
    EmulatedDevice::PendingFaults pending;
    const auto& rules = device->config_.faults.exchanges;
    for (std::size_t r = 0; r < rules.size(); ++r) {
        const ExchangeFaultRule& rule = rules[r];
        if (!Selects(rule.frames, kind, frame)) {
            continue;
        }
        const std::uint32_t seen = ++device->ruleMatches_[r];
        const bool strikes =
            seen >= rule.frames.occurrence &&
            (rule.frames.count == 0 || seen < rule.frames.occurrence + rule.frames.count);
        if (!strikes) {
            continue;
        }
        switch (rule.fault) {
            case ExchangeFault::WriteFails:
                writeFails = true;
                break;
            case ExchangeFault::WriteFailsAfterDelivery:
                writeFailsAfterDelivery = true;
                break;
            case ExchangeFault::QueueCheckFails:
                pending.failingChecks = rule.failingChecks;
                break;
            case ExchangeFault::ReadFails:
                pending.readFails = true;
                break;
            case ExchangeFault::NoReply:
                noReply = true;
                break;
            case ExchangeFault::WrongReply:
                wrongReply = true;
                break;
            case ExchangeFault::ShortRead:
                pending.shortRead = true;
                pending.bytesDelivered = rule.bytesDelivered;
                break;
            case ExchangeFault::LongReadCount:
                pending.longReadCount = true;
                break;
            case ExchangeFault::ScriptedReply:
                scriptedReply = &rule.replyBytes;
                break;
            case ExchangeFault::ReplyTwice:
                replyTwice = true;
                break;
            case ExchangeFault::LateReply:
                replyDelay = rule.delayMicroseconds;
                break;
        }
    }
    if (writeFails) {
        *bytesWritten = 0;
        return kEmulatedFailure;
    }
    *bytesWritten = bytesToWrite;
    device->pending_ = pending;
    trace_.push_back({now, index, TraceDirection::Frame, kind, {frame.begin(), frame.end()}});
    if (noReply) {
        return writeFailsAfterDelivery ? kEmulatedFailure : kBridgeSuccess;
    }

    LoaderAnswer answer;
    if (wrongReply) {
        answer = device->loader_.Answer(frame, now);
        for (std::uint8_t& byte : answer.reply) {
            byte = static_cast<std::uint8_t>(~byte);
        }
    } else {
        answer = device->loader_.Handle(frame, now);
        if (scriptedReply != nullptr) {
            answer.reply = *scriptedReply;
        }
    }
    const std::uint64_t readyAt = now + device->config_.timings.replyLatencyMicroseconds +
                                  answer.deviceMicroseconds + replyDelay;
    for (int copy = 0; copy < (replyTwice ? 2 : 1); ++copy) {
        const std::uint64_t replyNumber = ++device->repliesSent_;
        for (std::uint8_t byte : answer.reply) {
            Enqueue(*device, byte, readyAt, replyNumber);
        }
        trace_.push_back({readyAt, index, TraceDirection::Reply, kind, answer.reply});
    }
    return writeFailsAfterDelivery ? kEmulatedFailure : kBridgeSuccess;
}

BridgeStatus EmulatedBridge::CheckReceiveQueue(BridgeHandle handle, std::uint32_t* bytesQueued,
                                               std::uint32_t* queueStatus) {
    CriticalSectionGuard guard(section_);
    Count(BridgeOperation::CheckReceiveQueue);
    EmulatedDevice* device = OpenDeviceFor(handle);
    if (device == nullptr) {
        return kEmulatedFailure;
    }
    if (device->pending_.failingChecks > 0) {
        --device->pending_.failingChecks;
        PassPollTimeIfPolling(*device);
        return kEmulatedFailure;
    }
    const std::uint32_t ready = ReadyBytes(*device);
    if (ready == 0) {
        PassPollTimeIfPolling(*device);
    } else {
        polling_ = false;
    }
    *bytesQueued = ready;
    *queueStatus = 0;
    return kBridgeSuccess;
}

BridgeStatus EmulatedBridge::ReadReply(BridgeHandle handle, void* buffer, std::uint32_t bytesToRead,
                                       std::uint32_t* bytesRead, void* /*overlapped*/) {
    CriticalSectionGuard guard(section_);
    Count(BridgeOperation::ReadReply);
    EmulatedDevice* device = OpenDeviceFor(handle);
    if (device == nullptr) {
        return kEmulatedFailure;
    }
    auto& queue = device->receiveQueue_;
    const auto dropRestOfReply = [&queue](std::uint64_t replyNumber) {
        while (!queue.empty() && queue.front().replyNumber == replyNumber) {
            queue.pop_front();
        }
    };
    EmulatedDevice::PendingFaults& pending = device->pending_;
    if (pending.readFails) {
        pending.readFails = false;
        if (!queue.empty()) {
            dropRestOfReply(queue.front().replyNumber);
        }
        *bytesRead = 0;
        return kEmulatedFailure;
    }

    std::uint32_t deliver = std::min(bytesToRead, ReadyBytes(*device));
    const bool cut = pending.shortRead && pending.bytesDelivered < deliver;
    if (cut) {
        deliver = pending.bytesDelivered;
    }
    const std::uint64_t replyNumber = queue.empty() ? 0 : queue.front().replyNumber;
    auto* out = static_cast<std::uint8_t*>(buffer);
    for (std::uint32_t i = 0; i < deliver; ++i) {
        out[i] = queue.front().value;
        queue.pop_front();
    }
    if (cut) {
        dropRestOfReply(replyNumber);
    }
    *bytesRead = pending.longReadCount ? bytesToRead + 1 : deliver;
    pending = {};
    return kBridgeSuccess;
}

}  // namespace quorvanex::emulator
