// What the units of update --all say, as the parent reads it and tells it: each line of a unit's
// output read as its event, kept for the unit's row and its record, and told as the style asks
// (the event with its unit, a line marked with the unit, or the unit's row on a terminal).
#include <algorithm>
#include <limits>

#include "cli/console/console_platform.h"
#include "cli/update/all_units_run.h"

namespace quorvanex::cli::all_units {
namespace {

// A row is cut to this width, so that it never wraps and the redrawing stays in place.
constexpr std::size_t kRowWidth = 79;

// The unit's event as it came, with the unit's index after the event's name.
Json WithDevice(const Json& event, std::uint32_t device) {
    Json forwarded = Json::object();
    forwarded[field::kEventField] = FieldText(event, field::kEventField);
    forwarded[field::kDevice] = device;
    for (const auto& [key, value] : event.items()) {
        if (key != field::kEventField && key != field::kDevice) {
            forwarded[key] = value;
        }
    }
    return forwarded;
}

ProgressFigures ProgressOf(const Json& event) {
    return {FieldText(event, field::kImage), FieldCount(event, field::kImageDone).value_or(0),
            FieldCount(event, field::kImageTotal).value_or(0),
            FieldNumber(event, field::kRate).value_or(0.0),
            FieldNumber(event, field::kEta).value_or(0.0)};
}

// A line of a unit's output read as its event.
struct UnitEvent {
    Event event;
    const Json& json;
    std::string text;  // its "text" field
    const RecordFile& records;
};

// What an event changes of its unit, and the words that tell it in lines: empty for none, nothing
// at all when the event is not told.
using UnitEventHandler = std::optional<std::string> (*)(Unit& unit, const UnitEvent& told);

std::optional<std::string> RecordTold(Unit& unit, const UnitEvent& told) {
    unit.record = RecordFromJson(told.json);
    unit.outcome = unit.record->outcome;
    // In a file, the unit's own line; to standard output, the parent's to write.
    unit.recordWritten = !told.records.ToOutput();
    return told.records.ToOutput() ? std::nullopt : std::optional(std::string());
}

std::optional<std::string> RecordNotWrittenTold(Unit&, const UnitEvent& told) {
    return told.text;
}

std::optional<std::string> ProgressTold(Unit& unit, const UnitEvent& told) {
    unit.progress = ProgressOf(told.json);
    unit.doing = Said(kUnitWriting, {unit.progress->image});
    return ProgressWords(*unit.progress);
}

std::optional<std::string> EraseTold(Unit& unit, const UnitEvent& told) {
    unit.images.push_back(
        {FieldText(told.json, field::kImage), FieldText(told.json, field::kSha256)});
    unit.progress.reset();
    unit.doing = Said(kErasingRegion, {FieldText(told.json, field::kImage)});
    return unit.doing;
}

std::optional<std::string> NoticeTold(Unit& unit, const UnitEvent& told) {
    // As the update of one unit tells a box: the caption without its trailing blanks.
    std::string caption = FieldText(told.json, field::kCaption);
    caption.erase(caption.find_last_not_of(' ') + 1);
    unit.doing = Said(kUnitBox, {told.text});
    const std::uint64_t count = FieldCount(told.json, field::kCount).value_or(1);
    return BoxWords(caption, told.text,
                    static_cast<std::uint32_t>(
                        std::min<std::uint64_t>(count, std::numeric_limits<std::uint32_t>::max())));
}

std::optional<std::string> DoneTold(Unit& unit, const UnitEvent& told) {
    unit.outcome = Outcome::Done;
    unit.seconds = FieldNumber(told.json, field::kSeconds).value_or(0.0);
    unit.progress.reset();
    unit.doing = Said(kUpdateDoneIn, {std::to_string(static_cast<long>(unit.seconds))});
    return unit.doing;
}

std::optional<std::string> FatalTold(Unit& unit, const UnitEvent& told) {
    unit.outcome = Outcome::Fatal;
    unit.fatalCode = static_cast<std::uint8_t>(
        std::min<std::uint64_t>(FieldCount(told.json, field::kCode).value_or(0), 0xFF));
    unit.fatalText = told.text;
    unit.seconds = FieldNumber(told.json, field::kSeconds).value_or(0.0);
    unit.progress.reset();
    unit.doing = Said(kFatalStopLine, {std::to_string(unit.fatalCode), told.text});
    return unit.doing;
}

// A refusal, or the unit stopping: the outcome that it names, or for a stop without one
// interrupted.
std::optional<std::string> EndingTold(Unit& unit, const UnitEvent& told) {
    if (const auto outcome = OutcomeNamed(FieldText(told.json, field::kOutcome))) {
        unit.outcome = *outcome;
    } else if (told.event == Event::Stopping) {
        unit.outcome = Outcome::Interrupted;
    }
    unit.progress.reset();
    unit.doing = told.text;
    return told.text;
}

// Any other event: its text, when it has one, is what the unit is doing.
std::optional<std::string> TextTold(Unit& unit, const UnitEvent& told) {
    if (!told.text.empty()) {
        unit.doing = told.text;
    }
    return told.text;
}

struct UnitEventRow {
    Event event;
    UnitEventHandler handle;
    bool tellsTheEnd;  // the unit's own events say how it ended
};

constexpr UnitEventRow kUnitEvents[] = {
    {Event::Record, &RecordTold, true},
    {Event::RecordNotWritten, &RecordNotWrittenTold, false},
    {Event::Progress, &ProgressTold, false},
    {Event::Erase, &EraseTold, false},
    {Event::Notice, &NoticeTold, false},
    {Event::Done, &DoneTold, true},
    {Event::Fatal, &FatalTold, true},
    {Event::Refused, &EndingTold, true},
    {Event::Stopping, &EndingTold, true},
};

UnitEventRow RowOf(Event event) {
    for (const UnitEventRow& row : kUnitEvents) {
        if (row.event == event) {
            return row;
        }
    }
    return {event, &TextTold, false};
}

}  // namespace

std::string IndexOf(const Unit& unit) {
    return std::to_string(unit.device.index);
}

void AllUnits::Line(Unit& unit, const std::string& line) {
    const std::optional<Json> json = ReadJsonObject(line);
    const std::optional<Event> event =
        json ? EventNamed(FieldText(*json, field::kEventField)) : std::nullopt;
    if (!event) {
        // Not an event (what the unit's process wrote to its error output): told as it came.
        Tell(unit, JsonLine(Event::Output).Text(field::kText, line), line);
        return;
    }
    const UnitEventRow row = RowOf(*event);
    const std::optional<std::string> plain =
        row.handle(unit, {*event, *json, FieldText(*json, field::kText), records_});
    unit.toldItsEnd = unit.toldItsEnd || row.tellsTheEnd;
    if (!plain) {
        return;
    }
    if (style_ == ConsoleReport::Style::Json) {
        WriteOutput(JsonText(WithDevice(*json, unit.device.index)) + "\n");
    } else if (style_ == ConsoleReport::Style::Lines && !plain->empty()) {
        WriteOutput(Said(kUnitLine, {IndexOf(unit), *plain}) + "\n");
    }
}

void AllUnits::Tell(const Unit& unit, JsonLine json, const std::string& plain) {
    if (style_ == ConsoleReport::Style::Json) {
        WriteOutput(JsonText(WithDevice(json.Object(), unit.device.index)) + "\n");
    } else if (style_ == ConsoleReport::Style::Lines) {
        WriteOutput(Said(kUnitLine, {IndexOf(unit), plain}) + "\n");
    }
}

std::string AllUnits::Row(const Unit& unit) const {
    const std::string head = "unit " + IndexOf(unit) + "  ";
    std::string row = head + (!unit.ended && unit.progress
                                  ? ProgressWords(*unit.progress, kRowWidth - head.size())
                                  : unit.doing);
    if (row.size() > kRowWidth) {
        row.resize(kRowWidth);
    }
    return row + std::string(kRowWidth - row.size(), ' ');
}

// On a terminal: one row a unit, drawn again in place.
void AllUnits::DrawRows() {
    if (style_ != ConsoleReport::Style::Terminal) {
        return;
    }
    if (rowsDrawn_ > 0) {
        MoveUpLines(rowsDrawn_);
    }
    std::string rows;
    for (const Unit& unit : units_) {
        rows += Row(unit) + "\n";
    }
    WriteOutput(rows);
    rowsDrawn_ = units_.size();
}

}  // namespace quorvanex::cli::all_units
