// One update of the window program, as a document describes it: the window's worker with the
// window's own texts, against the emulator, with the image files, the emulator's scenario and what
// happens to a file while the update runs. What the operator saw, when, and how it ended; on the
// clock of a PC with a fine timer or on that of a stock Windows PC.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvanex::docs_test {

// The image set in the folder: small ones, and the largest that each region takes.
enum class ImageFiles {
    MultiPart,
    Single,
    WrongId,
    TooLarge,
    None,
    FullMultiPart,
    Full1A60,
    Full1A65
};

// When a status line that begins with these words is first painted, a file of the set is removed,
// replaced by one too large for its region, or replaced by one without a valid image ID.
struct FileChange {
    std::string atLine;
    std::string action;  // "remove", "grow", "wrong-id"
    std::string file;
};

struct WindowScenario {
    std::string emulatorStatements;  // the emulator's scenario language, one statement a line
    bool defaultDevice = true;       // a QUORVANEX (serial 2026) unless the statements name devices
    ImageFiles files = ImageFiles::MultiPart;
    std::vector<FileChange> changes;
    bool unitClaimedElsewhere = false;  // another program updates the unit
};

// The words of a document's scenario, separated by ";": the emulator's statements, and
// "files: multi-part|single|wrong-id|too-large|none|full-multi-part|full-1A60|full-1A65",
// "no device",
// "another program updates the unit", and "when "LINE" remove|grow|wrong-id FILE". "nothing goes
// wrong" is the whole update as it should run. False with the problem when a word is not known.
bool ReadWindowScenario(const std::string& words, WindowScenario& scenario, std::string& problem);

// How long a pause lasts and how finely the tick moves: a pause lasts until the first tick at or
// after its end, and the tick count moves in steps of one tick.
struct PlatformTiming {
    std::uint32_t tickMicroseconds;
};
// A PC whose timer ticks every millisecond (a program there has asked for the fine timer).
inline constexpr PlatformTiming kFineTimer{1000};
// Stock Windows: 64 ticks a second, so Sleep(10) lasts 15.6 ms and GetTickCount moves in steps of
// 15.6 ms.
inline constexpr PlatformTiming kStockWindows{15625};

struct Shown {
    bool box = false;
    std::string text;     // without the blanks around it
    std::string caption;  // a box's, without the blanks around it
    std::uint64_t microseconds = 0;
};

struct Frame {
    std::string kind;  // the emulator's word for it: "control", "page-write", "sector-erase", ...
    std::uint64_t microseconds = 0;
};

struct WindowRun {
    std::vector<Shown> shown;     // every line painted and every box, in order
    std::optional<int> exitCode;  // when the update ended the process
    int closeRequests = 0;        // the window asked to close
    bool successBox = false;      // "FLASH update ok "
    bool deviceLeftOpen = false;  // a device still open when the run ended
    std::uint64_t framesWritten = 0;
    std::vector<std::uint64_t> writeMicroseconds;  // when each frame was written
    std::vector<Frame> frames;                     // the frames that the devices were sent
    std::vector<std::uint64_t> replyMicroseconds;  // when each reply was sent
    std::uint64_t microseconds = 0;                // from the start to the end of the run
};

// The update run once, with the timings of the fault matrix (a reply in 0.1 ms, a sector erased
// in 2 ms, 25 ms of write active) unless the scenario gives its own. pollCostMicroseconds is what
// one look at an empty receive queue costs on the virtual clock: a real poll loop takes about a
// microsecond a look; larger figures make long waits cheaper to run and change only how finely a
// wait's end is seen.
WindowRun RunWindowScenario(const WindowScenario& scenario, PlatformTiming timing = kFineTimer,
                            std::uint64_t pollCostMicroseconds = 1000);

}  // namespace quorvanex::docs_test
