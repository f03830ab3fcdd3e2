#include "tests/support/recording_operator_services.h"

#include "link/link_lock.h"
#include "text/operator_text.h"

namespace quorvanex::test_support {

RecordingOperatorServices::RecordingOperatorServices(emulator::VirtualClock& clock)
    : clock_(clock), programClock_(clock) {
    programClock_.OnPause([this](std::uint32_t milliseconds) {
        HostEvent& event = Record(HostEventKind::Pause);
        event.milliseconds = milliseconds;
        Announce(event);
    });
}

HostEvent& RecordingOperatorServices::Record(HostEventKind kind) {
    HostEvent event;
    event.kind = kind;
    event.linkLockHeld = LinkLockHeld();
    event.timeMicroseconds = clock_.NowMicroseconds();
    events_.push_back(std::move(event));
    return events_.back();
}

void RecordingOperatorServices::ShowStatusLine(const wchar_t* text, const StatusText& row) {
    HostEvent& event = Record(HostEventKind::StatusLine);
    event.text = text;
    event.y = row.y;
    event.row = &row;
    Announce(event);
}

void RecordingOperatorServices::ShowNotice(const wchar_t* text, const wchar_t* caption,
                                           NoticeIcon icon) {
    HostEvent& event = Record(HostEventKind::Notice);
    event.text = text;
    event.caption = caption;
    event.icon = icon;
    Announce(event);
}

void RecordingOperatorServices::Announce(const HostEvent& event) {
    if (onEvent_) {
        // A copy: the action may record more events and move the vector.
        onEvent_(HostEvent(event));
    }
}

void RecordingOperatorServices::RequestMainWindowClose() {
    Announce(Record(HostEventKind::CloseRequest));
}

void RecordingOperatorServices::EndProcess(int exitCode) {
    HostEvent& event = Record(HostEventKind::ProcessEnd);
    event.exitCode = exitCode;
    Announce(event);
    throw ProcessEnded{exitCode};
}

std::vector<HostEvent> RecordingOperatorServices::EventsOf(HostEventKind kind) const {
    std::vector<HostEvent> selected;
    for (const HostEvent& event : events_) {
        if (event.kind == kind) {
            selected.push_back(event);
        }
    }
    return selected;
}

// One field of every event of a kind, in order.
template <typename Field>
auto FieldsOf(const RecordingOperatorServices& host, HostEventKind kind, Field HostEvent::*field) {
    std::vector<Field> fields;
    for (const HostEvent& event : host.EventsOf(kind)) {
        fields.push_back(event.*field);
    }
    return fields;
}

std::vector<std::wstring> RecordingOperatorServices::NoticeTexts() const {
    return FieldsOf(*this, HostEventKind::Notice, &HostEvent::text);
}

std::vector<std::wstring> RecordingOperatorServices::StatusTexts() const {
    return FieldsOf(*this, HostEventKind::StatusLine, &HostEvent::text);
}

std::vector<std::uint32_t> RecordingOperatorServices::PauseLengths() const {
    return FieldsOf(*this, HostEventKind::Pause, &HostEvent::milliseconds);
}

std::uint64_t RecordingOperatorServices::TotalPauseMilliseconds() const {
    std::uint64_t total = 0;
    for (const HostEvent& event : EventsOf(HostEventKind::Pause)) {
        total += event.milliseconds;
    }
    return total;
}

bool RecordingOperatorServices::AnyEventUnderLinkLock() const {
    for (const HostEvent& event : events_) {
        if (event.linkLockHeld) {
            return true;
        }
    }
    return false;
}

std::wstring Padded(const std::wstring& words, std::size_t length) {
    std::wstring text = words;
    if (text.size() < length) {
        text.append(length - text.size(), L' ');
    }
    return text;
}

}  // namespace quorvanex::test_support
