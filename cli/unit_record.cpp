#include "cli/unit_record.h"

#include <ctime>

#include "seam/binary_file.h"
#include "text/utf8.h"

namespace quorvanex::cli {

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    char text[32] = "";
    if (const std::tm* utc = std::gmtime(&now)) {
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc);
    }
    return text;
}

JsonLine RecordLine(const UnitRecord& record, const ImageSetReport& set, const char* event) {
    std::string images = "[";
    for (const ImageFileReport* file : set.FilesToWrite()) {
        if (images.size() > 1) {
            images += ',';
        }
        images +=
            JsonLine().Text("name", Utf8FromWide(file->name)).Text("sha256", file->sha256).Object();
    }
    JsonLine line(event);
    line.Text("time", UtcNow()).Count("device", record.device);
    line.Text("product", record.product).Raw("images", images + "]");
    line.Text("outcome", record.outcome);
    if (record.fatalCode != 0) {
        line.Count("fatal_code", record.fatalCode);
    } else {
        line.Null("fatal_code");
    }
    line.Decimal("seconds", record.seconds, 1);
    if (record.frames) {
        line.Count("frames", *record.frames);
    } else {
        line.Null("frames");
    }
    if (record.resends) {
        line.Count("resends", *record.resends);
    } else {
        line.Null("resends");
    }
    return line;
}

bool AppendRecordLine(const std::string& recordFile, const std::string& line) {
    return AppendToFile(WideFromUtf8(recordFile).c_str(), line);
}

}  // namespace quorvanex::cli
