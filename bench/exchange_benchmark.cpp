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

namespace quorvanex::bench {
namespace {

constexpr std::size_t kMultiPartRegion = 896 * 1024;

std::filesystem::path WriteImage(std::size_t dataSize) {
    const auto path = std::filesystem::temp_directory_path() / "quorvanex-bench-1a70.bin";
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write("1A70", 4);
    std::vector<char> data(dataSize);
    for (std::size_t i = 0; i < dataSize; ++i) {
        data[i] = static_cast<char>(i * 131 + 7);
    }
    file.write(data.data(), static_cast<std::streamsize>(data.size()));
    return path;
}

void BM_ExchangeFrame(benchmark::State& state) {
    emulator::VirtualClock clock;
    VirtualServices services(clock);
    InstallOperatorServices(&services);
    emulator::EmulatedBridge bridge(clock);
    bridge.Attach();
    emulator::ScopedEmulatedBridge installed(bridge);
    OpenDevice();
    const std::uint8_t frame[] = {0x01, 0x01, 0xD6};
    std::uint8_t reply = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ExchangeFrame(&reply, frame, 1, sizeof frame));
    }
    CloseDevice();
    InstallOperatorServices(nullptr);
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExchangeFrame);

void BM_ProgramImageFile896KiB(benchmark::State& state) {
    const auto path = WriteImage(kMultiPartRegion);
    const double frames = kMultiPartRegion / 32.0;
    for (auto _ : state) {
        emulator::VirtualClock clock;
        VirtualServices services(clock);
        InstallOperatorServices(&services);
        emulator::EmulatedBridge bridge(clock);
        bridge.Attach();
        emulator::ScopedEmulatedBridge installed(bridge);
        OpenDevice();
        if (!ProgramImageFile(path.wstring().c_str())) {
            state.SkipWithError("the image was not programmed");
        }
        CloseDevice();
        ClearMultiPartFlag();
        InstallOperatorServices(nullptr);
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
