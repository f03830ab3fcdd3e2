// quorvanex-cli with the QUORVANEX emulator behind the bridge table, on the emulator's virtual
// clock: the program that runs the command line's examples of `devices` and `update` natively,
// where no bridge library can be loaded. It is the native program in all but three definitions,
// linked here in place of the core library's own (a member of a static library is linked only
// when a name it defines is still wanted): the loading of the bridge library
// (link/bridge_library_absent.cpp) attaches the devices of a scenario instead, and the platform's
// pause and tick (seam/system_time_posix.cpp) are the virtual clock's, so that an update takes
// no real time and says the same figures on every run. Built for the tests only.
//
// The scenario is the file named by QUORVANEX_EMULATOR_SCENARIO, as for the stand-in library;
// without one no device is attached. The units of `update --all` are this program again, each
// with its own emulated devices from the same scenario.
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "emulator/bridge_binding.h"
#include "emulator/emulated_bridge.h"
#include "emulator/scenario.h"
#include "link/bridge_library.h"
#include "seam/binary_file.h"
#include "seam/system_time.h"
#include "text/utf8.h"

namespace quorvanex {
namespace {

emulator::VirtualClock& TheClock() {
    static emulator::VirtualClock clock;
    return clock;
}

}  // namespace

void SleepMilliseconds(std::uint32_t milliseconds) {
    TheClock().AdvanceMicroseconds(std::uint64_t{milliseconds} * 1000);
}

std::uint32_t MillisecondTick() {
    return TheClock().TickMilliseconds();
}

// Time passes on the virtual clock only when the program pauses or finds the queue empty.
void OfferProcessorToOtherThreads() {}

bool LoadBridgeLibrary(BridgeOperations& operations, std::wstring& problem) {
    static emulator::EmulatedBridge bridge(TheClock());
    static bool attached = false;
    if (!attached) {
        const char* named = std::getenv("QUORVANEX_EMULATOR_SCENARIO");
        std::string text;
        if (named != nullptr && !ReadWholeFile(WideFromUtf8(named).c_str(), text)) {
            problem = L"The scenario " + WideFromUtf8(named) + L" cannot be read.";
            return false;
        }
        emulator::Scenario scenario;
        std::string error;
        if (!emulator::ParseScenario(text, scenario, error)) {
            problem = L"The scenario " + WideFromUtf8(named) + L": " + WideFromUtf8(error);
            return false;
        }
        emulator::AttachScenarioDevices(scenario, bridge);
        attached = true;
    }
    emulator::BindEmulatedBridge(&bridge);
    operations = emulator::EmulatedBridgeOperations();
    return true;
}

}  // namespace quorvanex

int main(int argc, char** argv) {
    return quorvanex::cli::RunCommandLine(std::vector<std::string>(argv + 1, argv + argc));
}
