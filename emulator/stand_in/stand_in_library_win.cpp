// The QUORVANEX emulator as a stand-in for the bridge library: a 32-bit DLL that exports the eight
// operations by ordinal alone, with the library's calling convention, so that the real program
// can run end to end without hardware. Time is real here.
//
// The scenario comes from the file named by QUORVANEX_EMULATOR_SCENARIO, or else from
// quorvanex-emulator.txt beside this DLL; without either, one QUORVANEX with serial 2026 answers
// at once. The outputs that the scenario names are written whenever a device is closed and when
// the process ends.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "emulator/emulated_bridge.h"
#include "emulator/real_time_clock.h"
#include "emulator/scenario.h"
#include "seam/critical_section.h"

namespace quorvanex::emulator {
namespace {

HMODULE thisLibrary = nullptr;

struct StandIn {
    RealTimeClock clock;
    EmulatedBridge bridge{clock};
    Scenario scenario;
};

CriticalSection standInSection;
StandIn* standIn = nullptr;

std::string ReadWholeFile(const std::string& path, bool& found) {
    std::string text;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    found = file != nullptr;
    if (file != nullptr) {
        char chunk[4096];
        std::size_t read = 0;
        while ((read = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
            text.append(chunk, read);
        }
        std::fclose(file);
    }
    return text;
}

std::string ScenarioFileBesideLibrary() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(thisLibrary, path, MAX_PATH);
    std::string folder(path, length);
    folder.erase(folder.find_last_of("\\/") + 1);
    return folder + "quorvanex-emulator.txt";
}

// A scenario that cannot be read must not look like a device that behaves: it is told on the
// error output and the stand-in shows no device at all.
Scenario LoadScenario() {
    Scenario scenario;
    const char* named = std::getenv("QUORVANEX_EMULATOR_SCENARIO");
    const std::string path = named != nullptr ? named : ScenarioFileBesideLibrary();
    bool found = false;
    const std::string text = ReadWholeFile(path, found);
    if (!found) {
        if (named != nullptr) {
            std::fprintf(stderr, "QUORVANEX emulator: scenario %s not found\n", named);
            return scenario;
        }
        scenario.devices.push_back(DeviceConfig{});
        return scenario;
    }
    std::string error;
    if (!ParseScenario(text, scenario, error)) {
        std::fprintf(stderr, "QUORVANEX emulator: %s: %s\n", path.c_str(), error.c_str());
        return Scenario{};
    }
    return scenario;
}

// Called with the mutex held.
StandIn& TheStandIn() {
    if (standIn == nullptr) {
        standIn = new StandIn;
        standIn->scenario = LoadScenario();
        for (DeviceConfig& device : standIn->scenario.devices) {
            if (device.product == DeviceConfig{}.product) {
                device.product = "QUORVANEX emulator (stand-in bridge library, not for shipping)";
            }
        }
        AttachScenarioDevices(standIn->scenario, standIn->bridge);
    }
    return *standIn;
}

void WriteOutputs(StandIn& stand) {
    if (!WriteScenarioOutputs(stand.scenario.outputs, stand.bridge)) {
        std::fprintf(stderr, "QUORVANEX emulator: an output could not be written\n");
    }
}

template <typename Call>
BridgeStatus WithStandIn(Call&& call) {
    CriticalSectionGuard guard(standInSection);
    return call(TheStandIn());
}

}  // namespace
}  // namespace quorvanex::emulator

using quorvanex::BridgeHandle;
using quorvanex::BridgeStatus;
using quorvanex::emulator::StandIn;
using quorvanex::emulator::WithStandIn;

// Exported by ordinal only (stand_in_library.def); the names never leave this file.
extern "C" {

BridgeStatus __stdcall StandInCountDevices(std::uint32_t* deviceCount) {
    return WithStandIn([&](StandIn& s) { return s.bridge.CountDevices(deviceCount); });
}

BridgeStatus __stdcall StandInGetDeviceString(std::uint32_t deviceIndex, char* buffer,
                                              std::uint32_t option) {
    return WithStandIn(
        [&](StandIn& s) { return s.bridge.GetDeviceString(deviceIndex, buffer, option); });
}

BridgeStatus __stdcall StandInOpen(std::uint32_t deviceIndex, BridgeHandle* handle) {
    return WithStandIn([&](StandIn& s) { return s.bridge.OpenBridgeDevice(deviceIndex, handle); });
}

BridgeStatus __stdcall StandInClose(BridgeHandle handle) {
    return WithStandIn([&](StandIn& s) {
        const BridgeStatus status = s.bridge.CloseBridgeDevice(handle);
        quorvanex::emulator::WriteOutputs(s);
        return status;
    });
}

BridgeStatus __stdcall StandInRead(BridgeHandle handle, void* buffer, std::uint32_t bytesToRead,
                                   std::uint32_t* bytesRead, void* overlapped) {
    return WithStandIn([&](StandIn& s) {
        return s.bridge.ReadReply(handle, buffer, bytesToRead, bytesRead, overlapped);
    });
}

BridgeStatus __stdcall StandInWrite(BridgeHandle handle, const void* buffer,
                                    std::uint32_t bytesToWrite, std::uint32_t* bytesWritten,
                                    void* overlapped) {
    return WithStandIn([&](StandIn& s) {
        return s.bridge.WriteFrame(handle, buffer, bytesToWrite, bytesWritten, overlapped);
    });
}

BridgeStatus __stdcall StandInSetUp(BridgeHandle handle, std::uint32_t firstFlag,
                                    std::uint32_t secondFlag) {
    return WithStandIn(
        [&](StandIn& s) { return s.bridge.SetUpDevice(handle, firstFlag, secondFlag); });
}

BridgeStatus __stdcall StandInCheckQueue(BridgeHandle handle, std::uint32_t* bytesQueued,
                                         std::uint32_t* queueStatus) {
    return WithStandIn(
        [&](StandIn& s) { return s.bridge.CheckReceiveQueue(handle, bytesQueued, queueStatus); });
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        quorvanex::emulator::thisLibrary = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && quorvanex::emulator::standIn != nullptr) {
        // The process is ending (after a fatal stop too): the outputs show its last state. The
        // other threads are gone by now, so the lock is not taken.
        quorvanex::emulator::WriteOutputs(*quorvanex::emulator::standIn);
    }
    return TRUE;
}

}  // extern "C"
