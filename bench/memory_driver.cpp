// Programs one image of the multi-part region (896 KiB) against a device that answers every frame
// correctly and keeps nothing, so that a heap profiler (valgrind --tool=massif) or an instruction
// counter (valgrind --tool=callgrind) sees the program's own cost alone.
//
// Usage: memory_driver [image-size-bytes] [--console]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "bench/virtual_services.h"
#include "cli/console/console_report.h"
#include "cli/console/update_clock.h"
#include "emulator/emulator_clock.h"
#include "link/device_connection.h"
#include "protocol/flash_programming.h"
#include "protocol/image_regions.h"
#include "seam/bridge_operations.h"

namespace {

using quorvanex::BridgeHandle;
using quorvanex::BridgeStatus;
using quorvanex::kBridgeSuccess;

// The answer to the last frame: at most two bytes.
std::uint8_t answer[2];
std::uint32_t answerLength = 0;

BridgeStatus BRIDGE_CALL CountDevices(std::uint32_t* count) {
    *count = 1;
    return kBridgeSuccess;
}
BridgeStatus BRIDGE_CALL GetDeviceString(std::uint32_t, char* buffer, std::uint32_t) {
    std::snprintf(buffer, 5, "2026");
    return kBridgeSuccess;
}
BridgeStatus BRIDGE_CALL Open(std::uint32_t, BridgeHandle* handle) {
    *handle = reinterpret_cast<BridgeHandle>(0x100);
    return kBridgeSuccess;
}
BridgeStatus BRIDGE_CALL Close(BridgeHandle) {
    return kBridgeSuccess;
}
BridgeStatus BRIDGE_CALL SetUp(BridgeHandle, std::uint32_t, std::uint32_t) {
    return kBridgeSuccess;
}
BridgeStatus BRIDGE_CALL Write(BridgeHandle, const void* buffer, std::uint32_t length,
                               std::uint32_t* written, void*) {
    const auto* frame = static_cast<const std::uint8_t*>(buffer);
    *written = length;
    answerLength = 1;
    if (frame[2] == 0xD7) {
        answer[0] = 0xD7;  // page accepted
    } else if (length == 4 && frame[0] == 0x01) {
        answer[0] = 0x00;  // status: not busy
    } else if (frame[0] == 0x00) {
        std::uint8_t sum = 0;
        for (std::uint32_t i = 0; i < length; ++i) {
            sum = static_cast<std::uint8_t>(sum + frame[i]);
        }
        answer[0] = static_cast<std::uint8_t>(0x100 - sum);  // acknowledgement
    } else {
        answer[0] = frame[2];  // echo
        answer[1] = 0x01;
        answerLength = frame[2] == 0xDA ? 2 : 1;
    }
    return kBridgeSuccess;
}
BridgeStatus BRIDGE_CALL Queue(BridgeHandle, std::uint32_t* queued, std::uint32_t* status) {
    *queued = answerLength;
    *status = 0;
    return kBridgeSuccess;
}
BridgeStatus BRIDGE_CALL Read(BridgeHandle, void* buffer, std::uint32_t length, std::uint32_t* read,
                              void*) {
    const std::uint32_t delivered = length < answerLength ? length : answerLength;
    for (std::uint32_t i = 0; i < delivered; ++i) {
        static_cast<std::uint8_t*>(buffer)[i] = answer[i];
    }
    *read = delivered;
    answerLength = 0;
    return kBridgeSuccess;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t size =
        argc > 1 ? std::strtoul(argv[1], nullptr, 10) : quorvanex::MultiPartRegion().SizeInBytes();
    const auto path = std::filesystem::temp_directory_path() / "quorvanex-memory-1a70.bin";
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(quorvanex::MultiPartRegion().id, quorvanex::kImageIdLength);
        std::vector<char> data(size, 0x5A);
        file.write(data.data(), static_cast<std::streamsize>(data.size()));
    }
    // With --console, the command line's report of the update takes the place of the window's
    // services, writing its JSON events to standard output.
    const bool console = argc > 2 && std::strcmp(argv[2], "--console") == 0;
    quorvanex::emulator::VirtualClock clock;
    quorvanex::bench::VirtualServices services(clock);
    quorvanex::cli::ConsoleReport report(services.programClock,
                                         quorvanex::cli::ConsoleReport::Style::Json,
                                         {{path.wstring(), size}});
    quorvanex::cli::UpdateClock consoleClock(report);
    quorvanex::InstallOperatorServices(console ? static_cast<quorvanex::OperatorServices*>(&report)
                                               : &services);
    quorvanex::InstallProgramClock(console ? static_cast<quorvanex::ProgramClock*>(&consoleClock)
                                           : &services.programClock);
    quorvanex::InstallBridgeOperations(
        {&CountDevices, &GetDeviceString, &Open, &Close, &Read, &Write, &SetUp, &Queue});
    quorvanex::OpenDevice();
    const bool programmed = quorvanex::ProgramImageFile(path.wstring().c_str());
    quorvanex::CloseDevice();
    std::filesystem::remove(path);
    report.Finish();
    std::fprintf(stderr, "%s %zu bytes\n", programmed ? "programmed" : "FAILED", size);
    return programmed ? 0 : 1;
}
