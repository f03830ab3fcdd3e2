// The modelled time of a whole multi-part update (five images of 896 KiB) against the emulator's
// timing model, compared with the least time that the protocol allows at the same timings
// (bench/ideal_update_time.h), which is worked out by rule and not from the run.
//
// Usage: update_model [--slow-page-us N] [latency-us ...]   (default: 125 1000 2000)
//   --slow-page-us N   a deliberately slower program: it waits N µs more before every page frame
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/ideal_update_time.h"
#include "bench/virtual_services.h"
#include "emulator/bridge_binding.h"
#include "emulator/emulated_bridge.h"
#include "protocol/image_regions.h"
#include "tests/support/image_files.h"
#include "tests/support/process_state.h"
#include "update/update_worker.h"

namespace quorvanex::bench {
namespace {

// Full images: each fills the multi-part region.
const std::size_t kImageSize = MultiPartRegion().SizeInBytes();

// The slower program: the bridge's write wrapped so that every page frame goes out late.
emulator::VirtualClock* slowClock = nullptr;
std::uint32_t slowPageMicroseconds = 0;
WriteFrameFunction* forwardWrite = nullptr;

BridgeStatus BRIDGE_CALL SlowWrite(BridgeHandle handle, const void* buffer, std::uint32_t length,
                                   std::uint32_t* written, void* overlapped) {
    if (length > 2 && static_cast<const std::uint8_t*>(buffer)[2] == 0xD7) {
        slowClock->AdvanceMicroseconds(slowPageMicroseconds);
    }
    return forwardWrite(handle, buffer, length, written, overlapped);
}

struct Result {
    double modelledSeconds;
    double hostSeconds;
    std::uint64_t exchanges;
};

Result RunUpdate(const emulator::DeviceTimings& timings) {
    emulator::VirtualClock clock;
    VirtualServices services(clock);
    InstallOperatorServices(&services);
    InstallProgramClock(&services.programClock);
    emulator::EmulatedBridge bridge(clock);
    emulator::DeviceConfig config;
    config.timings = timings;
    bridge.Attach(config);
    emulator::ScopedEmulatedBridge installed(bridge);
    if (slowPageMicroseconds > 0) {
        BridgeOperations slow = Bridge();
        forwardWrite = slow.WriteFrame;
        slow.WriteFrame = &SlowWrite;
        slowClock = &clock;
        InstallBridgeOperations(slow);
    }

    const auto started = std::chrono::steady_clock::now();
    UpdateWorker(nullptr);
    const auto ended = std::chrono::steady_clock::now();
    if (services.notices != 1 || bridge.Device(0).DeviceLoader().Snapshots().size() != 5) {
        std::fprintf(stderr, "the update did not finish as it should\n");
        std::exit(1);
    }
    test_support::ResetProcessState();
    InstallOperatorServices(nullptr);
    InstallProgramClock(nullptr);
    return {static_cast<double>(clock.NowMicroseconds()) / 1e6,
            std::chrono::duration<double>(ended - started).count(),
            emulator::FramesOf(bridge.DeviceTrace()).size()};
}

}  // namespace
}  // namespace quorvanex::bench

int main(int argc, char** argv) {
    using namespace quorvanex::bench;
    std::vector<std::uint32_t> latencies;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--slow-page-us") == 0 && i + 1 < argc) {
            slowPageMicroseconds = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else {
            latencies.push_back(static_cast<std::uint32_t>(std::strtoul(argv[i], nullptr, 10)));
        }
    }
    if (latencies.empty()) {
        latencies = {125, 1000, 2000};
    }
    const auto folder = std::filesystem::temp_directory_path() / "quorvanex-update-model";
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    quorvanex::test_support::WriteMultiPartSet(
        folder, {kImageSize, kImageSize, kImageSize, kImageSize, kImageSize});

    if (slowPageMicroseconds > 0) {
        std::printf("A deliberately slower program: %u µs more before every page frame.\n\n",
                    slowPageMicroseconds);
    }
    std::printf(
        "| latency | exchanges | modelled | least time by rule | ratio | host work "
        "| ratio with host work |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (std::uint32_t latency : latencies) {
        const quorvanex::emulator::DeviceTimings timings =
            quorvanex::emulator::TypicalTimings(latency);
        const Result result = RunUpdate(timings);
        const ImageToWrite fullImage = {quorvanex::MultiPartRegion().sectorCount, kImageSize};
        const IdealUpdate ideal = IdealUpdateTime(timings, std::vector<ImageToWrite>(5, fullImage));
        const double idealSeconds = static_cast<double>(ideal.microseconds) / 1e6;
        if (ideal.exchanges != result.exchanges) {
            std::printf("(the run made %llu exchanges, the rule counts %llu)\n",
                        static_cast<unsigned long long>(result.exchanges),
                        static_cast<unsigned long long>(ideal.exchanges));
        }
        std::printf("| %.3f ms | %llu | %.2f s | %.2f s | %.5f | %.2f s | %.5f |\n",
                    latency / 1000.0, static_cast<unsigned long long>(result.exchanges),
                    result.modelledSeconds, idealSeconds, result.modelledSeconds / idealSeconds,
                    result.hostSeconds,
                    (result.modelledSeconds + result.hostSeconds) / idealSeconds);
    }
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(folder);
    return 0;
}
