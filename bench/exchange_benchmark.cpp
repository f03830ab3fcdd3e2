// Host cost of the protocol against the emulator with no latency: what the program (and the
// emulator's bookkeeping) spends per exchange, when the link itself takes no time.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "bench/virtual_services.h"
#include "emulator/bridge_binding.h"
#include "emulator/emulated_bridge.h"
#include "link/command_exchange.h"
#include "link/device_connection.h"
#include "protocol/flash_programming.h"
#include "protocol/image_regions.h"
#include "tests/support/image_files.h"
#include "tests/support/process_state.h"

namespace quorvanex::bench {
namespace {

// A full image of the multi-part region.
std::filesystem::path WriteImage() {
    const auto path = std::filesystem::temp_directory_path() / "quorvanex-bench-image.bin";
    const auto image = test_support::ImageBytes(
        MultiPartRegion().id, test_support::PatternData(MultiPartRegion().SizeInBytes()));
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(image.data()),
               static_cast<std::streamsize>(image.size()));
    return path;
}

// A device that answers at once, opened, with nothing painted or shown; put away at the end.
struct OpenedDevice {
    OpenedDevice() {
        InstallOperatorServices(&services);
        InstallProgramClock(&services.programClock);
        bridge.Attach();
        OpenDevice();
    }
    ~OpenedDevice() {
        test_support::ResetProcessState();
        InstallOperatorServices(nullptr);
        InstallProgramClock(nullptr);
    }

    emulator::VirtualClock clock;
    VirtualServices services{clock};
    emulator::EmulatedBridge bridge{clock};
    emulator::ScopedEmulatedBridge installed{bridge};
};

void BM_ExchangeFrame(benchmark::State& state) {
    OpenedDevice device;
    const std::uint8_t frame[] = {0x01, 0x01, 0xD6};
    std::uint8_t reply = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ExchangeFrame(&reply, frame, 1, sizeof frame));
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExchangeFrame);

void BM_ProgramImageFile896KiB(benchmark::State& state) {
    const auto path = WriteImage();
    const double frames = MultiPartRegion().SizeInBytes() / 32.0;
    for (auto _ : state) {
        OpenedDevice device;
        if (!ProgramImageFile(path.wstring().c_str())) {
            state.SkipWithError("the image was not programmed");
        }
    }
    state.counters["frames/s"] = benchmark::Counter(
        frames * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["time/frame"] =
        benchmark::Counter(frames * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    std::filesystem::remove(path);
}
BENCHMARK(BM_ProgramImageFile896KiB)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvanex::bench

BENCHMARK_MAIN();
