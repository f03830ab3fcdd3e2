// The modelled time of a whole multi-part update (five images of 896 KiB) against the emulator's
// timing model, compared with the lower bound that the same model gives for the same frames and
// pauses: every exchange's latency and device time, the fixed pauses, nothing else.
//
// Usage: update_model [latency-us ...]   (default: 125 1000 2000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/virtual_services.h"
#include "emulator/bridge_binding.h"
#include "emulator/emulated_bridge.h"
#include "link/device_connection.h"
#include "protocol/flash_programming.h"
#include "update/update_worker.h"

namespace quorvanex::bench {
namespace {

constexpr std::size_t kImageSize = 896 * 1024;
// Typical serial flash: a 32-byte page program about 0.1 ms, a 64 KiB block erase about 150 ms.
constexpr std::uint32_t kPageProgramMicroseconds = 100;
constexpr std::uint32_t kSectorEraseMicroseconds = 150000;
constexpr std::uint32_t kWriteActiveBusyMicroseconds = 500000;

void WriteImages(const std::filesystem::path& folder) {
    const char* names[] = {"QUORVANEX-FPGA-2.45-1013.bin", "ZELMAR.0.1.OSD.01.bin",
                           "ZELMAR.0.1.OSD.02.bin", "ZELMAR.0.1.OSD.03.bin",
                           "ZELMAR.0.1.OSD.04.bin"};
    std::vector<char> data(kImageSize);
    for (int image = 0; image < 5; ++image) {
        for (std::size_t i = 0; i < kImageSize; ++i) {
            data[i] = static_cast<char>(i * 31 + static_cast<std::size_t>(image) * 17);
        }
        std::ofstream file(folder / names[image], std::ios::binary | std::ios::trunc);
        file.write("1A70", 4);
        file.write(data.data(), static_cast<std::streamsize>(data.size()));
    }
}

struct Result {
    double modelledSeconds;
    double boundSeconds;
    double hostSeconds;
    std::size_t exchanges;
};

Result RunUpdate(std::uint32_t latencyMicroseconds) {
    emulator::VirtualClock clock;
    VirtualServices services(clock);
    InstallOperatorServices(&services);
    emulator::EmulatedBridge bridge(clock);
    emulator::DeviceConfig config;
    config.timings = {latencyMicroseconds, kPageProgramMicroseconds, kSectorEraseMicroseconds,
                      kWriteActiveBusyMicroseconds};
    bridge.Attach(config);
    emulator::ScopedEmulatedBridge installed(bridge);

    const auto started = std::chrono::steady_clock::now();
    UpdateWorker(nullptr);
    const auto ended = std::chrono::steady_clock::now();
    if (services.notices != 1 || bridge.Device(0).DeviceLoader().Snapshots().size() != 5) {
        std::fprintf(stderr, "the update did not finish as it should\n");
        std::exit(1);
    }

    // Each reply's time less its frame's time is the exchange's latency and device time.
    std::uint64_t exchangeMicroseconds = 0;
    std::size_t exchanges = 0;
    std::uint64_t frameTime = 0;
    for (const emulator::TraceEntry& entry : bridge.DeviceTrace()) {
        if (entry.direction == emulator::TraceDirection::Frame) {
            frameTime = entry.timeMicroseconds;
            ++exchanges;
        } else {
            exchangeMicroseconds += entry.timeMicroseconds - frameTime;
        }
    }
    ClearMultiPartFlag();
    InstallOperatorServices(nullptr);
    return {static_cast<double>(clock.NowMicroseconds()) / 1e6,
            static_cast<double>(exchangeMicroseconds + services.pausedMicroseconds) / 1e6,
            std::chrono::duration<double>(ended - started).count(), exchanges};
}

}  // namespace
}  // namespace quorvanex::bench

int main(int argc, char** argv) {
    using namespace quorvanex::bench;
    std::vector<std::uint32_t> latencies;
    for (int i = 1; i < argc; ++i) {
        latencies.push_back(static_cast<std::uint32_t>(std::strtoul(argv[i], nullptr, 10)));
    }
    if (latencies.empty()) {
        latencies = {125, 1000, 2000};
    }
    const auto folder = std::filesystem::temp_directory_path() / "quorvanex-update-model";
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    WriteImages(folder);

    std::printf(
        "| latency | exchanges | modelled | lower bound | ratio | host work | ratio with host work "
        "|\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (std::uint32_t latency : latencies) {
        const Result result = RunUpdate(latency);
        std::printf("| %.3f ms | %zu | %.2f s | %.2f s | %.5f | %.2f s | %.5f |\n",
                    latency / 1000.0, result.exchanges, result.modelledSeconds, result.boundSeconds,
                    result.modelledSeconds / result.boundSeconds, result.hostSeconds,
                    (result.modelledSeconds + result.hostSeconds) / result.boundSeconds);
    }
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(folder);
    return 0;
}
