#include "cli/events.h"

#include <cstring>
#include <iterator>
#include <vector>

namespace quorvanex::cli {
namespace {

struct EventRow {
    const char* name;
    std::vector<const char*> fields;
};
const EventRow kEventRows[] = {
#define QUORVANEX_FIELD_LIST(...) __VA_ARGS__
#define QUORVANEX_EVENT_ROW(name, text, fields) {text, {QUORVANEX_FIELD_LIST fields}},
    QUORVANEX_EVENTS(QUORVANEX_EVENT_ROW)
#undef QUORVANEX_EVENT_ROW
#undef QUORVANEX_FIELD_LIST
};

struct OutcomeRow {
    const char* name;
    const char* words;
};
constexpr OutcomeRow kOutcomeRows[] = {
#define QUORVANEX_OUTCOME_ROW(name, text, words) {text, words},
    QUORVANEX_OUTCOMES(QUORVANEX_OUTCOME_ROW)
#undef QUORVANEX_OUTCOME_ROW
};

}  // namespace

const char* EventName(Event event) {
    return kEventRows[static_cast<std::size_t>(event)].name;
}

std::optional<Event> EventNamed(const std::string& name) {
    for (std::size_t i = 0; i < std::size(kEventRows); ++i) {
        if (name == kEventRows[i].name) {
            return static_cast<Event>(i);
        }
    }
    return std::nullopt;
}

const std::vector<const char*>& EventFields(Event event) {
    return kEventRows[static_cast<std::size_t>(event)].fields;
}

const char* OutcomeName(Outcome outcome) {
    return kOutcomeRows[static_cast<std::size_t>(outcome)].name;
}

const char* OutcomeWords(Outcome outcome) {
    return kOutcomeRows[static_cast<std::size_t>(outcome)].words;
}

std::optional<Outcome> OutcomeNamed(const std::string& name) {
    for (std::size_t i = 0; i < std::size(kOutcomeRows); ++i) {
        if (name == kOutcomeRows[i].name) {
            return static_cast<Outcome>(i);
        }
    }
    return std::nullopt;
}

}  // namespace quorvanex::cli
