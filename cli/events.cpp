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

constexpr const char* kOutcomeNames[] = {
#define QUORVANEX_OUTCOME_NAME(name, text) text,
    QUORVANEX_OUTCOMES(QUORVANEX_OUTCOME_NAME)
#undef QUORVANEX_OUTCOME_NAME
};

// The value of the row whose name is the one given, the rows in the order of the enum.
template <typename Value, typename Rows, typename NameOf>
std::optional<Value> Named(const Rows& rows, const std::string& name, NameOf nameOf) {
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        if (name == nameOf(rows[i])) {
            return static_cast<Value>(i);
        }
    }
    return std::nullopt;
}

}  // namespace

const char* EventName(Event event) {
    return kEventRows[static_cast<std::size_t>(event)].name;
}

std::optional<Event> EventNamed(const std::string& name) {
    return Named<Event>(kEventRows, name, [](const EventRow& row) { return row.name; });
}

const std::vector<const char*>& EventFields(Event event) {
    return kEventRows[static_cast<std::size_t>(event)].fields;
}

const char* OutcomeName(Outcome outcome) {
    return kOutcomeNames[static_cast<std::size_t>(outcome)];
}

std::optional<Outcome> OutcomeNamed(const std::string& name) {
    return Named<Outcome>(kOutcomeNames, name, [](const char* row) { return row; });
}

}  // namespace quorvanex::cli
