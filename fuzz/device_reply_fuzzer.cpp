// A link whose failures, queue counts and short reads come from the fuzzer's bytes, in front of
// the emulated QUORVANEX, driving a whole multi-part update. Every wait must end, nothing may be
// read or written out of bounds, and the update may report success only when the device's flash
// took every image.
//
// Each bridge call takes one byte that says what the link does to it; when the bytes run out the
// link behaves, so that every input ends in a finished or a stopped update.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "emulator/bridge_binding.h"
#include "emulator/emulated_bridge.h"
#include "fuzz/fuzz_environment.h"
#include "link/device_connection.h"
#include "protocol/flash_programming.h"
#include "protocol/image_regions.h"
#include "seam/bridge_operations.h"
#include "tests/support/image_files.h"
#include "tests/support/process_state.h"
#include "tests/support/recording_operator_services.h"
#include "update/exit_code.h"
#include "update/update_worker.h"

using namespace quorvanex;

namespace {

FuzzedDataProvider* fuzzedLink = nullptr;
emulator::EmulatedBridge* device = nullptr;
emulator::VirtualClock* linkClock = nullptr;

// What the link does to one call: mostly nothing.
enum class Trouble { None, Fails, Other };

Trouble Next() {
    const std::uint8_t byte = fuzzedLink->ConsumeIntegral<std::uint8_t>();
    if (byte < 0xC0) {
        return Trouble::None;
    }
    return byte < 0xE0 ? Trouble::Fails : Trouble::Other;
}

constexpr BridgeStatus kFailed = 1;

BridgeStatus BRIDGE_CALL CountDevices(std::uint32_t* count) {
    return Next() == Trouble::Fails ? kFailed : device->CountDevices(count);
}

BridgeStatus BRIDGE_CALL GetDeviceString(std::uint32_t index, char* buffer, std::uint32_t option) {
    switch (Next()) {
        case Trouble::Fails:
            return kFailed;
        case Trouble::Other:
            // A string that fills the whole buffer, without a terminator.
            std::fill_n(buffer, kDeviceStringBufferSize, '2');
            return kBridgeSuccess;
        case Trouble::None:
            break;
    }
    return device->GetDeviceString(index, buffer, option);
}

BridgeStatus BRIDGE_CALL OpenBridgeDevice(std::uint32_t index, BridgeHandle* handle) {
    return Next() == Trouble::Fails ? kFailed : device->OpenBridgeDevice(index, handle);
}

BridgeStatus BRIDGE_CALL CloseBridgeDevice(BridgeHandle handle) {
    const BridgeStatus status = device->CloseBridgeDevice(handle);
    return Next() == Trouble::Fails ? kFailed : status;
}

BridgeStatus BRIDGE_CALL ReadReply(BridgeHandle handle, void* buffer, std::uint32_t toRead,
                                   std::uint32_t* read, void* overlapped) {
    switch (Next()) {
        case Trouble::Fails:
            return kFailed;
        case Trouble::Other: {
            // Fewer bytes than asked, as a read that timed out part way.
            const std::uint32_t shorter =
                fuzzedLink->ConsumeIntegralInRange<std::uint32_t>(0, toRead);
            return device->ReadReply(handle, buffer, shorter, read, overlapped);
        }
        case Trouble::None:
            break;
    }
    return device->ReadReply(handle, buffer, toRead, read, overlapped);
}

BridgeStatus BRIDGE_CALL WriteFrame(BridgeHandle handle, const void* buffer, std::uint32_t toWrite,
                                    std::uint32_t* written, void* overlapped) {
    switch (Next()) {
        case Trouble::Fails:
            // Whether the frame got through before the failure is up to the next byte.
            if (fuzzedLink->ConsumeBool()) {
                device->WriteFrame(handle, buffer, toWrite, written, overlapped);
            }
            return kFailed;
        case Trouble::Other:
            // Lost on the way: reported as written, never delivered.
            *written = toWrite;
            return kBridgeSuccess;
        case Trouble::None:
            break;
    }
    return device->WriteFrame(handle, buffer, toWrite, written, overlapped);
}

BridgeStatus BRIDGE_CALL SetUpDevice(BridgeHandle handle, std::uint32_t first,
                                     std::uint32_t second) {
    return Next() == Trouble::Fails ? kFailed : device->SetUpDevice(handle, first, second);
}

BridgeStatus BRIDGE_CALL CheckReceiveQueue(BridgeHandle handle, std::uint32_t* queued,
                                           std::uint32_t* status) {
    switch (Next()) {
        case Trouble::Fails:
            linkClock->PassPollTime(UINT64_MAX);
            return kFailed;
        case Trouble::Other:
            // Nothing yet, whatever is there: the reply is late.
            linkClock->PassPollTime(UINT64_MAX);
            *queued = 0;
            return kBridgeSuccess;
        case Trouble::None:
            break;
    }
    return device->CheckReceiveQueue(handle, queued, status);
}

const std::vector<test_support::Bytes>& Images() {
    static const std::vector<test_support::Bytes> images =
        test_support::WriteMultiPartSet(fuzzing::ScratchFolder(), {200, 100, 120, 64, 33});
    return images;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<test_support::Bytes>& images = Images();
    FuzzedDataProvider provider(data, size);
    emulator::VirtualClock virtualClock;
    test_support::RecordingOperatorServices host(virtualClock);
    ScopedOperatorServices services(host);
    ScopedProgramClock time(host.Clock());
    emulator::DeviceConfig config;
    config.timings.replyLatencyMicroseconds = 100;
    config.timings.sectorEraseMicroseconds = 2000;
    config.timings.writeActiveBusyMicroseconds = 25000;
    emulator::EmulatedBridge bridge(virtualClock);
    bridge.Attach(config);
    bridge.Device(0).DeviceLoader().Flash().Fill(0x00);
    fuzzedLink = &provider;
    device = &bridge;
    linkClock = &virtualClock;
    InstallBridgeOperations(BridgeOperations{&CountDevices, &GetDeviceString, &OpenBridgeDevice,
                                             &CloseBridgeDevice, &ReadReply, &WriteFrame,
                                             &SetUpDevice, &CheckReceiveQueue});

    bool stopped = false;
    try {
        UpdateWorker(nullptr);
    } catch (const test_support::ProcessEnded& ended) {
        stopped = true;
        if (ended.exitCode != 1) {
            fuzzing::Violation("a stop with an exit code other than 1");
        }
    }
    RemoveBridgeOperations();
    if (DeviceIsOpen()) {
        fuzzing::Violation("the device was left open");
    }
    test_support::ResetProcessState();

    const auto notices = host.NoticeTexts();
    const bool reportedSuccess =
        std::find(notices.begin(), notices.end(), L"FLASH update ok ") != notices.end();
    if (stopped && reportedSuccess) {
        fuzzing::Violation("success reported, then a fatal stop");
    }
    if (reportedSuccess) {
        const auto& snapshots = bridge.Device(0).DeviceLoader().Snapshots();
        if (snapshots.size() != images.size()) {
            fuzzing::Violation("success, but not every image was handed to the FPGA");
        }
        for (std::size_t i = 0; i < images.size(); ++i) {
            if (snapshots[i].bytes != images[i] ||
                snapshots[i].firstAddress != MultiPartRegion().StartAddress()) {
                fuzzing::Violation("success, but an image did not reach the flash whole");
            }
        }
    }
    return 0;
}
