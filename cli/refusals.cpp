#include "cli/refusals.h"

#include "cli/console/console_platform.h"
#include "cli/json_line.h"
#include "seam/binary_file.h"
#include "text/utf8.h"

namespace quorvanex::cli {

void Refuse(bool json, const std::string& text, std::optional<Outcome> outcome) {
    if (!json) {
        WriteError(text + "\n");
        return;
    }
    JsonLine refused(Event::Refused);
    refused.Text(field::kText, text);
    if (outcome) {
        refused.Text(field::kOutcome, OutcomeName(*outcome));
    }
    WriteOutput(refused.Line());
}

void RefuseFile(bool json, const std::string& name, const CommandLineText<1>& unusable) {
    Refuse(json, KindOfPath(WidePathFromUtf8(name).c_str()) == PathKind::NotAFile
                     ? Said(kNotAFile, {name})
                     : Said(unusable, {name}));
}

void WriteOutputOrRefusal(bool asRefusal, const std::string& text) {
    if (asRefusal) {
        WriteError(text);
    } else {
        WriteOutput(text);
    }
}

}  // namespace quorvanex::cli
