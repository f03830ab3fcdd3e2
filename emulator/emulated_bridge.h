// The bridge chip and the QUORVANEX devices behind it, as the bridge library shows them: a list
// of attached devices with their strings, a handle per open device, and for each open device a
// write that carries one frame to its loader and a receive queue that fills with the reply after
// the link's latency. Every operation takes the arguments of the library's operation of the same
// name, in the same order, and answers zero for success.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "emulator/device_faults.h"
#include "emulator/device_timings.h"
#include "emulator/emulator_clock.h"
#include "emulator/loader.h"
#include "emulator/trace.h"
#include "seam/bridge_operations.h"
#include "seam/critical_section.h"

namespace quorvanex::emulator {

struct DeviceConfig {
    std::string serial = "2026";
    std::string product = "QUORVANEX emulator";
    DeviceTimings timings;
    DeviceFaults faults;
    // The flash as the device powers up with it, from address 0 (the rest erased); none: erased.
    // Shared, since a sweep powers many devices up with one flash.
    std::shared_ptr<const std::vector<std::uint8_t>> flash;
};

// The bridge library's operations, by the names of its table.
enum class BridgeOperation {
#define QUORVANEX_BRIDGE_OPERATION_VALUE(name, ordinal, parameters, arguments) name,
    QUORVANEX_BRIDGE_OPERATIONS(QUORVANEX_BRIDGE_OPERATION_VALUE)
#undef QUORVANEX_BRIDGE_OPERATION_VALUE
};
inline constexpr const char* kBridgeOperationNames[] = {
#define QUORVANEX_BRIDGE_OPERATION_NAME(name, ordinal, parameters, arguments) #name,
    QUORVANEX_BRIDGE_OPERATIONS(QUORVANEX_BRIDGE_OPERATION_NAME)
#undef QUORVANEX_BRIDGE_OPERATION_NAME
};
inline constexpr std::size_t kBridgeOperationCount = std::size(kBridgeOperationNames);

// Any value but zero reports a failure; the host never tells them apart.
inline constexpr BridgeStatus kEmulatedFailure = 0xFF;

class EmulatedDevice {
  public:
    explicit EmulatedDevice(DeviceConfig config);
    // With its flash powered up from these contents, their memory handed over (config.flash is
    // not looked at).
    EmulatedDevice(DeviceConfig config, std::vector<std::uint8_t> flash);

    const DeviceConfig& Config() const { return config_; }
    Loader& DeviceLoader() { return loader_; }
    const Loader& DeviceLoader() const { return loader_; }
    const SpiFlash& Flash() const { return loader_.Flash(); }
    bool IsOpen() const { return open_; }
    // Its power was cut (faults.powerCut) and is not back: it answers nothing.
    bool PoweredOff() const { return poweredOff_; }
    // When its power was cut, on the emulator's clock; none before the cut.
    std::optional<std::uint64_t> PowerCutAt() const { return powerCutAt_; }
    // How often the device was opened, and the flags of its last set-up call.
    std::uint32_t OpenCount() const { return openCount_; }
    std::uint32_t SetUpFirstFlag() const { return setUpFlags_[0]; }
    std::uint32_t SetUpSecondFlag() const { return setUpFlags_[1]; }

  private:
    friend class EmulatedBridge;

    struct QueuedByte {
        std::uint8_t value;
        std::uint64_t readyAt;
        std::uint64_t replyNumber;
    };

    DeviceConfig config_;
    Loader loader_;
    bool open_ = false;
    std::uint32_t openCount_ = 0;
    std::array<std::uint32_t, 2> setUpFlags_ = {0, 0};
    std::deque<QueuedByte> receiveQueue_;
    std::uint64_t repliesSent_ = 0;
    std::vector<std::uint32_t> ruleMatches_;
    std::uint32_t powerCutMatches_ = 0;
    bool poweredOff_ = false;
    std::optional<std::uint64_t> powerCutAt_;
    // When the power comes back after a dip; none while it is on, or for a cut for good.
    std::optional<std::uint64_t> powerBackAt_;
    // Powers the device up again once the dip has passed by this moment; true when it is on.
    bool PowerBackBy(std::uint64_t now);
    // What the faults have in store for the exchange of the frame last written.
    ExchangePlan pending_;
};

class EmulatedBridge {
  public:
    explicit EmulatedBridge(EmulatorClock& clock) : clock_(clock) {}

    // Attaches one more device; returns its index.
    std::uint32_t Attach(DeviceConfig config = {});
    // A device whose flash powers up from these contents, their memory handed over.
    std::uint32_t Attach(DeviceConfig config, std::vector<std::uint8_t> flash);
    EmulatedDevice& Device(std::uint32_t index) { return *devices_.at(index); }
    std::uint32_t DeviceCount() const { return static_cast<std::uint32_t>(devices_.size()); }
    // The device count query itself fails.
    void SetCountFails(bool fails) { countFails_ = fails; }

    // The devices as several programs see them. A bridge opens a device for one program at a
    // time; the emulator of each program asks the claim before it opens a device (false: another
    // program has it open, and the open fails) and gives it back when the device is closed.
    class DeviceClaims {
      public:
        virtual ~DeviceClaims() = default;
        virtual bool Claim(std::uint32_t deviceIndex) = 0;
        virtual void GiveBack(std::uint32_t deviceIndex) = 0;
    };
    void SetDeviceClaims(DeviceClaims* claims) { claims_ = claims; }

    BridgeStatus CountDevices(std::uint32_t* deviceCount);
    BridgeStatus GetDeviceString(std::uint32_t deviceIndex, char* buffer, std::uint32_t option);
    BridgeStatus OpenBridgeDevice(std::uint32_t deviceIndex, BridgeHandle* handle);
    BridgeStatus CloseBridgeDevice(BridgeHandle handle);
    BridgeStatus ReadReply(BridgeHandle handle, void* buffer, std::uint32_t bytesToRead,
                           std::uint32_t* bytesRead, void* overlapped);
    BridgeStatus WriteFrame(BridgeHandle handle, const void* buffer, std::uint32_t bytesToWrite,
                            std::uint32_t* bytesWritten, void* overlapped);
    BridgeStatus SetUpDevice(BridgeHandle handle, std::uint32_t firstFlag,
                             std::uint32_t secondFlag);
    BridgeStatus CheckReceiveQueue(BridgeHandle handle, std::uint32_t* bytesQueued,
                                   std::uint32_t* queueStatus);

    const Trace& DeviceTrace() const { return trace_; }
    // Whether frames and replies go into the trace (they do unless told otherwise): a sweep of
    // power cuts runs thousands of updates and reads the trace of none but the first.
    void SetTracing(bool tracing) { tracing_ = tracing; }
    std::uint32_t Calls(BridgeOperation operation) const {
        return calls_[static_cast<std::size_t>(operation)];
    }
    std::uint32_t TotalCalls() const;
    EmulatorClock& Clock() { return clock_; }

  private:
    // The device behind an open handle, or nullptr with the handle unknown or closed.
    EmulatedDevice* OpenDeviceFor(BridgeHandle handle, std::uint32_t* index = nullptr);
    void Count(BridgeOperation operation) {
        ++calls_[static_cast<std::size_t>(operation)];
        if (operation != BridgeOperation::CheckReceiveQueue) {
            polling_ = false;
        }
    }
    // A single look at an empty queue takes no time worth counting; checking it again and again
    // is a busy wait, and that is where virtual time passes.
    void PassPollTimeIfPolling(const EmulatedDevice& device);
    static void Enqueue(EmulatedDevice& device, std::uint8_t value, std::uint64_t readyAt,
                        std::uint64_t replyNumber);
    ExchangePlan PlanExchange(EmulatedDevice& device, std::span<const std::uint8_t> frame);
    // Whether the frame is the one at which the device's power is cut.
    static bool PowerCutAt(EmulatedDevice& device, std::span<const std::uint8_t> frame);
    // The bridge chip takes the frame whether or not the device behind it has power: a device
    // without power, or whose power is cut before the frame reaches it or while it carries it out,
    // takes the frame and answers nothing.
    BridgeStatus TakeWithoutAnswer(EmulatedDevice& device, std::uint32_t index,
                                   std::span<const std::uint8_t> frame, std::uint64_t now);
    // The frame at which the power is cut, at the moment that the cut asks for.
    BridgeStatus CutPowerAt(EmulatedDevice& device, std::uint32_t index,
                            std::span<const std::uint8_t> frame, std::uint64_t now);
    // The device answers the frame as the plan says, into its receive queue and the trace.
    // Returns when the reply leaves the device.
    std::uint64_t QueueAnswer(EmulatedDevice& device, std::uint32_t index,
                              std::span<const std::uint8_t> frame, const ExchangePlan& plan,
                              std::uint64_t now);
    std::uint32_t ReadyBytes(const EmulatedDevice& device) const;
    void AddToTrace(std::uint64_t time, std::uint32_t device, TraceDirection direction,
                    std::span<const std::uint8_t> frame, std::span<const std::uint8_t> bytes);
    std::uint64_t NextReplyTime(const EmulatedDevice& device) const;

    EmulatorClock& clock_;
    CriticalSection section_;
    std::vector<std::unique_ptr<EmulatedDevice>> devices_;
    bool countFails_ = false;
    DeviceClaims* claims_ = nullptr;
    bool polling_ = false;
    Trace trace_;
    bool tracing_ = true;
    std::array<std::uint32_t, kBridgeOperationCount> calls_ = {};
};

}  // namespace quorvanex::emulator
