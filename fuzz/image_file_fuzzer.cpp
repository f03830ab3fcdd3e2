// Any bytes, any length, as the image file that ProgramImageFile reads, against the emulator. The
// program must not crash, must write nothing outside the region that the ID names, and must
// report success only when every data byte reached the flash.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

#include "emulator/bridge_binding.h"
#include "emulator/emulated_bridge.h"
#include "fuzz/fuzz_environment.h"
#include "link/device_connection.h"
#include "protocol/flash_programming.h"
#include "protocol/image_file.h"
#include "tests/support/process_state.h"
#include "tests/support/recording_operator_services.h"

using namespace quorvanex;

namespace {

// Old flash contents that no erase or program of the program would leave behind.
constexpr std::uint8_t kOldContents = 0xA5;

const ImageRegion* RegionOf(const std::uint8_t* data, std::size_t size) {
    if (size < kImageIdLength) {
        return nullptr;
    }
    std::uint8_t id[kImageIdLength];
    std::memcpy(id, data, kImageIdLength);
    return RegionForImageId(id);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = fuzzing::ScratchFolder() / "image.bin";
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }

    emulator::VirtualClock clock;
    test_support::RecordingOperatorServices host(clock);
    ScopedOperatorServices services(host);
    ScopedProgramClock time(host.Clock());
    emulator::EmulatedBridge bridge(clock);
    bridge.Attach();
    bridge.Device(0).DeviceLoader().Flash().Fill(kOldContents);
    emulator::ScopedEmulatedBridge installed(bridge);
    OpenDevice();

    bool programmed = false;
    try {
        programmed = ProgramImageFile(path.wstring().c_str());
    } catch (const test_support::ProcessEnded&) {
        fuzzing::Violation("a healthy device's erase ended the process");
    }
    test_support::ResetProcessState();

    const emulator::SpiFlash& flash = bridge.Device(0).Flash();
    const auto& contents = flash.Contents();
    const ImageRegion* region = RegionOf(data, size);
    const std::size_t dataSize = size >= kImageIdLength ? size - kImageIdLength : 0;
    const bool fits = region != nullptr && dataSize <= region->SizeInBytes();

    if (programmed != fits) {
        fuzzing::Violation("the result does not match the file's ID and size");
    }
    if (!flash.Misuses().empty()) {
        fuzzing::Violation("the flash was misused");
    }
    const std::uint32_t start = fits ? region->StartAddress() : 0;
    const std::uint32_t end = fits ? start + region->SizeInBytes() : 0;
    // Compared with memcmp: a byte loop here would be instrumented and dominate every run.
    static const std::vector<std::uint8_t> oldContents(emulator::SpiFlash::kSize, kOldContents);
    static const std::vector<std::uint8_t> erased(emulator::SpiFlash::kSize, 0xFF);
    const auto outside = [&](std::uint32_t from, std::uint32_t to) {
        return std::memcmp(contents.data() + from, oldContents.data(), to - from) == 0;
    };
    if (!outside(0, start) || !outside(end, static_cast<std::uint32_t>(contents.size()))) {
        fuzzing::Violation("flash outside the region changed");
    }
    if (fits) {
        if (std::memcmp(data + kImageIdLength, contents.data() + start, dataSize) != 0) {
            fuzzing::Violation("success, but the data is not in the flash");
        }
        if (std::memcmp(contents.data() + start + dataSize, erased.data(),
                        end - start - dataSize) != 0) {
            fuzzing::Violation("the rest of the region is not erased");
        }
    }
    return 0;
}
