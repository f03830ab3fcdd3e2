// The QUORVANEX emulator as a stand-in for the bridge library: a 32-bit DLL that exports the eight
// operations by ordinal alone, with the library's calling convention, so that the real program
// can run end to end without hardware. Time is real here.
//
// The scenario comes from the file named by QUORVANEX_EMULATOR_SCENARIO, or else from
// quorvanex-emulator.txt beside this DLL. Without either, no device is attached: a copy of this
// library put beside the program by mistake must never look like a QUORVANEX that takes an update.
// A scenario that is there but cannot be read or used is told in a box, and attaches no device.
// The outputs that the scenario names are written whenever a device is closed and when the process
// ends.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "emulator/emulated_bridge.h"
#include "emulator/real_time_clock.h"
#include "emulator/scenario.h"
#include "emulator/stand_in/stand_in_texts.h"
#include "seam/bridge_operations.h"
#include "seam/critical_section.h"
#include "text/utf8.h"

namespace quorvanex::emulator {
namespace {

HMODULE thisLibrary = nullptr;

// Each program that loads the stand-in has its own emulated devices; a named mutex for each unit
// keeps two programs from having the same unit open at once, as the real bridge does.
class ClaimsAcrossPrograms final : public EmulatedBridge::DeviceClaims {
  public:
    bool Claim(std::uint32_t deviceIndex) override {
        const std::wstring name =
            L"Local\\QUORVANEX-emulator-unit-" + std::to_wstring(deviceIndex) + L"-open";
        HANDLE claim = CreateMutexW(nullptr, FALSE, name.c_str());
        if (claim == nullptr) {
            return true;
        }
        const DWORD taken = WaitForSingleObject(claim, 0);
        if (taken != WAIT_OBJECT_0 && taken != WAIT_ABANDONED) {
            CloseHandle(claim);
            return false;
        }
        held_[deviceIndex] = claim;
        return true;
    }
    void GiveBack(std::uint32_t deviceIndex) override {
        const auto found = held_.find(deviceIndex);
        if (found != held_.end()) {
            ReleaseMutex(found->second);
            CloseHandle(found->second);
            held_.erase(found);
        }
    }

  private:
    std::map<std::uint32_t, HANDLE> held_;
};

struct StandIn {
    RealTimeClock clock;
    EmulatedBridge bridge{clock};
    Scenario scenario;
    ClaimsAcrossPrograms claims;
};

CriticalSection standInSection;
StandIn* standIn = nullptr;

// Paths are wide all the way, so that a folder named in any script works.
bool ReadWholeFile(const std::wstring& path, std::string& text) {
    std::FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) {
        return false;
    }
    char chunk[4096];
    std::size_t read = 0;
    while ((read = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.append(chunk, read);
    }
    std::fclose(file);
    return true;
}

std::wstring ScenarioFileBesideLibrary() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(thisLibrary, path, MAX_PATH);
    std::wstring folder(path, length < MAX_PATH ? length : 0);
    folder.erase(folder.find_last_of(L"\\/") + 1);
    return folder + L"quorvanex-emulator.txt";
}

// Told on the error output and in a box: a test run under a display shows no error output.
void TellScenarioProblem(const std::wstring& text) {
    std::fwprintf(stderr, L"QUORVANEX emulator: %ls\n", text.c_str());
    MessageBoxW(nullptr, text.c_str(), kEmulatorCaption.format, MB_ICONWARNING);
}

// A scenario that cannot be read must not look like a device that behaves: it is told, and no
// device is attached. Only a scenario file that is not there at all is silent, as a copy of this
// library beside the program by mistake must be.
Scenario LoadScenario() {
    const wchar_t* named = _wgetenv(L"QUORVANEX_EMULATOR_SCENARIO");
    const std::wstring path = named != nullptr ? named : ScenarioFileBesideLibrary();
    std::string text;
    if (!ReadWholeFile(path, text)) {
        if (named != nullptr || GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
            TellScenarioProblem(Said(kScenarioCannotBeRead, {path}));
        }
        return Scenario{};
    }
    Scenario scenario;
    std::string error;
    if (!ParseScenario(text, scenario, error)) {
        TellScenarioProblem(Said(kScenarioIsWrong, {path, WideFromUtf8(error)}));
        return Scenario{};
    }
    return scenario;
}

// Called with the lock held.
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
        standIn->bridge.SetDeviceClaims(&standIn->claims);
    }
    return *standIn;
}

void WriteOutputs(StandIn& stand) {
    if (!WriteScenarioOutputs(stand.scenario.outputs, stand.bridge)) {
        std::fprintf(stderr, "QUORVANEX emulator: an output could not be written\n");
    }
}

// Every closed device leaves its outputs behind at once: a test looks at them before the program
// has ended.
template <typename Call>
BridgeStatus WithStandIn(BridgeOperation operation, Call&& call) {
    CriticalSectionGuard guard(standInSection);
    StandIn& stand = TheStandIn();
    const BridgeStatus status = call(stand.bridge);
    if (operation == BridgeOperation::CloseBridgeDevice) {
        WriteOutputs(stand);
    }
    return status;
}

}  // namespace
}  // namespace quorvanex::emulator

using quorvanex::BridgeHandle;
using quorvanex::BridgeStatus;
using quorvanex::emulator::BridgeOperation;
using quorvanex::emulator::EmulatedBridge;
using quorvanex::emulator::WithStandIn;

// The eight operations, exported by ordinal only (the module definition made from the bridge
// operation table); the names never leave this file. Each is declared with the table's own
// function type and defined without a calling convention of its own, so it takes the one that the
// program calls it with. The module definition names the stack size that the 32-bit stdcall
// convention gives: an export that the table declares otherwise does not link.
extern "C" {

#define QUORVANEX_STAND_IN_DECLARATION(name, ordinal, parameters, arguments) \
    quorvanex::name##Function StandIn##name;
QUORVANEX_BRIDGE_OPERATIONS(QUORVANEX_STAND_IN_DECLARATION)
#undef QUORVANEX_STAND_IN_DECLARATION

#define QUORVANEX_STAND_IN_EXPORT(name, ordinal, parameters, arguments)                    \
    BridgeStatus StandIn##name parameters {                                                \
        return WithStandIn(BridgeOperation::name,                                          \
                           [&](EmulatedBridge& bridge) { return bridge.name arguments; }); \
    }
QUORVANEX_BRIDGE_OPERATIONS(QUORVANEX_STAND_IN_EXPORT)
#undef QUORVANEX_STAND_IN_EXPORT

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
