// What the bridge does with an open device: its set-up and its close, and the exchange of a frame
// with it: the faults that strike it, the power cut at it, the answer queued with its time, and the
// queue looked at and read back by the host.
#include <algorithm>
#include <cstring>

#include "emulator/emulated_bridge.h"

namespace quorvanex::emulator {
namespace {

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

// What one fault does to the exchange of a frame that it strikes.
void AddToPlan(const ExchangeFaultRule& rule, ExchangePlan& plan) {
    switch (rule.fault) {
        case ExchangeFault::WriteFails:
            plan.delivered = false;
            plan.writeReportsFailure = true;
            return;
        case ExchangeFault::WriteFailsAfterDelivery:
            plan.writeReportsFailure = true;
            return;
        case ExchangeFault::QueueCheckFails:
            plan.failingChecks = rule.amount;
            return;
        case ExchangeFault::ReadFails:
            plan.readFails = true;
            return;
        case ExchangeFault::ReadFailsAfterFilling:
            plan.readFails = true;
            plan.failedReadLeaves = &rule.replyBytes;
            return;
        case ExchangeFault::NoReply:
            plan.answered = false;
            return;
        case ExchangeFault::WrongReply:
            plan.carriedOut = false;
            plan.repliesInverted = true;
            return;
        case ExchangeFault::ShortRead:
            plan.bytesDelivered = rule.amount;
            return;
        case ExchangeFault::LongReadCount:
            plan.longReadCount = true;
            return;
        case ExchangeFault::ScriptedReply:
            plan.scriptedReply = &rule.replyBytes;
            return;
        case ExchangeFault::ReplyTwice:
            plan.replyCopies = 2;
            return;
        case ExchangeFault::LateReply:
            plan.replyDelayMicroseconds = rule.amount;
            return;
    }
}

}  // namespace

BridgeStatus EmulatedBridge::CloseBridgeDevice(BridgeHandle handle) {
    CriticalSectionGuard guard(section_);
    Count(BridgeOperation::CloseBridgeDevice);
    std::uint32_t index = 0;
    EmulatedDevice* device = OpenDeviceFor(handle, &index);
    if (device == nullptr) {
        return kEmulatedFailure;
    }
    // A close that reports failure still leaves the device closed: the handle is gone either way.
    device->open_ = false;
    if (claims_ != nullptr) {
        claims_->GiveBack(index);
    }
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

// Each rule counts the frames it selects; it strikes from its occurrence on, count times.
ExchangePlan EmulatedBridge::PlanExchange(EmulatedDevice& device,
                                          std::span<const std::uint8_t> frame) {
    const FrameKind kind = Loader::Classify(frame);
    ExchangePlan plan;
    const auto& rules = device.config_.faults.exchanges;
    for (std::size_t r = 0; r < rules.size(); ++r) {
        const FrameSelector& frames = rules[r].frames;
        if (!Selects(frames, kind, frame)) {
            continue;
        }
        const std::uint32_t seen = ++device.ruleMatches_[r];
        if (seen >= frames.occurrence &&
            (frames.count == 0 || seen < frames.occurrence + frames.count)) {
            AddToPlan(rules[r], plan);
        }
    }
    return plan;
}

bool EmulatedBridge::PowerCutAt(EmulatedDevice& device, std::span<const std::uint8_t> frame) {
    const std::optional<PowerCut>& cut = device.config_.faults.powerCut;
    return cut && Selects(cut->frames, Loader::Classify(frame), frame) &&
           ++device.powerCutMatches_ == cut->frames.occurrence;
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
    const std::uint64_t now = clock_.NowMicroseconds();
    *bytesWritten = bytesToWrite;
    if (device->poweredOff_ && !device->PowerBackBy(now)) {
        return TakeWithoutAnswer(*device, index, frame, now);
    }
    if (PowerCutAt(*device, frame)) {
        return CutPowerAt(*device, index, frame, now);
    }
    const ExchangePlan plan = PlanExchange(*device, frame);
    if (!plan.delivered) {
        *bytesWritten = 0;
        return kEmulatedFailure;
    }
    device->pending_ = plan;
    AddToTrace(now, index, TraceDirection::Frame, frame, frame);
    if (plan.answered) {
        QueueAnswer(*device, index, frame, plan, now);
    }
    return plan.writeReportsFailure ? kEmulatedFailure : kBridgeSuccess;
}

BridgeStatus EmulatedBridge::TakeWithoutAnswer(EmulatedDevice& device, std::uint32_t index,
                                               std::span<const std::uint8_t> frame,
                                               std::uint64_t now) {
    device.pending_ = ExchangePlan{};
    device.pending_.answered = false;
    AddToTrace(now, index, TraceDirection::Frame, frame, frame);
    return kBridgeSuccess;
}

BridgeStatus EmulatedBridge::CutPowerAt(EmulatedDevice& device, std::uint32_t index,
                                        std::span<const std::uint8_t> frame, std::uint64_t now) {
    SpiFlash& flash = device.loader_.Flash();
    device.poweredOff_ = true;
    const auto cutAt = [&device, &flash](std::uint64_t moment) {
        flash.CutPower(moment);
        device.powerCutAt_ = moment;
        const auto& dip = device.config_.faults.powerCut->backAfterMilliseconds;
        if (dip) {
            device.powerBackAt_ = moment + std::uint64_t{*dip} * 1000;
        }
    };
    switch (device.config_.faults.powerCut->moment) {
        case PowerCutMoment::Before:
            cutAt(now);
            break;
        case PowerCutMoment::During: {
            const std::uint32_t operationsBefore = flash.EraseCount() + flash.ProgramCount();
            device.loader_.Handle(frame, now);
            const bool operationBegun =
                flash.EraseCount() + flash.ProgramCount() != operationsBefore;
            cutAt(operationBegun ? flash.MiddleOfOperation() : now);
            break;
        }
        case PowerCutMoment::After:
            device.pending_ = ExchangePlan{};
            AddToTrace(now, index, TraceDirection::Frame, frame, frame);
            cutAt(QueueAnswer(device, index, frame, device.pending_, now));
            return kBridgeSuccess;
    }
    return TakeWithoutAnswer(device, index, frame, now);
}

std::uint64_t EmulatedBridge::QueueAnswer(EmulatedDevice& device, std::uint32_t index,
                                          std::span<const std::uint8_t> frame,
                                          const ExchangePlan& plan, std::uint64_t now) {
    LoaderAnswer answer =
        plan.carriedOut ? device.loader_.Handle(frame, now) : device.loader_.Answer(frame, now);
    if (plan.repliesInverted) {
        for (std::uint8_t& byte : answer.reply) {
            byte = static_cast<std::uint8_t>(~byte);
        }
    }
    if (plan.scriptedReply != nullptr) {
        answer.reply = *plan.scriptedReply;
    }
    const std::uint64_t readyAt = now + device.config_.timings.replyLatencyMicroseconds +
                                  answer.deviceMicroseconds + plan.replyDelayMicroseconds;
    for (int copy = 0; copy < plan.replyCopies; ++copy) {
        const std::uint64_t replyNumber = ++device.repliesSent_;
        for (std::uint8_t byte : answer.reply) {
            Enqueue(device, byte, readyAt, replyNumber);
        }
        AddToTrace(readyAt, index, TraceDirection::Reply, frame, answer.reply);
    }
    return readyAt;
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
    ExchangePlan& pending = device->pending_;
    if (pending.readFails) {
        pending.readFails = false;
        if (!queue.empty()) {
            dropRestOfReply(queue.front().replyNumber);
        }
        if (pending.failedReadLeaves != nullptr) {
            const std::vector<std::uint8_t>& left = *pending.failedReadLeaves;
            std::memcpy(buffer, left.data(), std::min<std::size_t>(left.size(), bytesToRead));
            pending.failedReadLeaves = nullptr;
        }
        *bytesRead = 0;
        return kEmulatedFailure;
    }

    std::uint32_t deliver = std::min(bytesToRead, ReadyBytes(*device));
    const bool cut = pending.bytesDelivered && *pending.bytesDelivered < deliver;
    if (cut) {
        deliver = *pending.bytesDelivered;
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
    pending = ExchangePlan{};
    return kBridgeSuccess;
}

}  // namespace quorvanex::emulator
