// The operator side for tests: records every painted line with its row, every notice with caption
// and icon, every pause and close request, in order, on the virtual program clock that it keeps
// (install both: the recorder as the services, Clock() as the program's clock).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "emulator/emulator_clock.h"
#include "emulator/virtual_program_clock.h"
#include "seam/operator_services.h"

namespace quorvanex::test_support {

enum class HostEventKind { StatusLine, Notice, Pause, CloseRequest, ProcessEnd };

struct HostEvent {
    HostEventKind kind = HostEventKind::StatusLine;
    std::wstring text;
    int y = 0;
    const StatusText* row = nullptr;  // the table row a status line was made from
    std::wstring caption;
    NoticeIcon icon = NoticeIcon::Warning;
    std::uint32_t milliseconds = 0;
    int exitCode = 0;
    bool linkLockHeld = false;
    std::uint64_t timeMicroseconds = 0;
};

// Thrown by EndProcess, so that a test sees what led to the end of the process and what the
// emulator received, instead of losing both with a real exit.
struct ProcessEnded {
    int exitCode;
};

class RecordingOperatorServices final : public OperatorServices {
  public:
    explicit RecordingOperatorServices(emulator::VirtualClock& clock);

    void ShowStatusLine(const wchar_t* text, const StatusText& row) override;
    void ShowNotice(const wchar_t* text, const wchar_t* caption, NoticeIcon icon) override;
    void RequestMainWindowClose() override;
    void EndProcess(int exitCode) override;

    // The program's clock of the run: a pause is recorded as an event; an offer of the processor
    // is counted, not recorded, as it changes nothing on the wire or the clock.
    emulator::VirtualProgramClock& Clock() { return programClock_; }
    std::uint64_t ProcessorOffers() const { return programClock_.ProcessorOffers(); }

    const std::vector<HostEvent>& Events() const { return events_; }
    std::vector<HostEvent> EventsOf(HostEventKind kind) const;
    std::vector<HostEvent> Notices() const { return EventsOf(HostEventKind::Notice); }
    std::vector<HostEvent> StatusLines() const { return EventsOf(HostEventKind::StatusLine); }
    std::vector<std::wstring> NoticeTexts() const;
    std::vector<std::wstring> StatusTexts() const;
    std::vector<std::uint32_t> PauseLengths() const;
    std::uint64_t TotalPauseMilliseconds() const;
    bool AnyEventUnderLinkLock() const;
    void Clear() { events_.clear(); }

    // Called as each event happens (a notice while its box is open), before a process end
    // unwinds, so a test can look at the device at that moment.
    void OnEvent(std::function<void(const HostEvent&)> action) { onEvent_ = std::move(action); }

  private:
    HostEvent& Record(HostEventKind kind);
    void Announce(const HostEvent& event);

    emulator::VirtualClock& clock_;
    emulator::VirtualProgramClock programClock_;
    std::vector<HostEvent> events_;
    std::function<void(const HostEvent&)> onEvent_;
};

// A text of the given words followed by blanks up to the length, as the program paints them.
std::wstring Padded(const std::wstring& words, std::size_t length);

}  // namespace quorvanex::test_support
