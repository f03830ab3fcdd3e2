#include "cli/console/fatal_stop_event.h"

#include "cli/cli_texts.h"
#include "cli/exit_codes.h"
#include "text/utf8.h"
#include "update/exit_code.h"
#include "update/update_texts.h"

namespace quorvanex::cli {

int ReportFatalStop(ConsoleReport& report) {
    const std::uint8_t code = RecordedFatalCode().value_or(0);
    const std::wstring words =
        code >= 1 && code <= std::size(kFatalTexts) ? kFatalTexts[code - 1].words : L"";
    report.Event(JsonLine(Event::Fatal)
                     .Count(field::kCode, code)
                     .Text(field::kText, Utf8FromWide(words))
                     .Decimal(field::kSeconds, report.Seconds(), 1),
                 Said(kFatalStopLine, {std::to_string(code), Utf8FromWide(words)}));
    return kExitFatalBase + code;
}

}  // namespace quorvanex::cli
