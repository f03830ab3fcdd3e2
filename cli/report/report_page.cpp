#include "cli/report/report_page.h"

#include <iterator>
#include <string_view>

#include "cli/report/report_charts.h"
#include "cli/report/report_texts.h"

namespace quorvanex::cli {
namespace {

// Narrow windows: the tables take the page's width and break a long word (a SHA-256, a time)
// where they must; the pictures scale with the page.
constexpr const char* kStyle =
    "body{font-family:sans-serif;color:#222;margin:1em auto;padding:0 1em;max-width:62em}"
    "h1{font-size:1.4em}h2{font-size:1.15em;margin-top:1.6em}"
    "table{border-collapse:collapse;width:100%}"
    "th,td{border-bottom:1px solid #ccc;padding:.2em .4em;text-align:left;vertical-align:top}"
    ".long{overflow-wrap:anywhere}"
    "th{border-bottom:2px solid #888}.number{text-align:right;white-space:nowrap}"
    "figure{margin:1em 0}figcaption{font-weight:bold;margin-bottom:.3em}"
    "svg{display:block;width:100%;height:auto}svg text{fill:#222}"
    ".legend{margin:.2em 0}.legend>span{display:inline-block;margin-right:1em}"
    ".swatch{display:inline-block;width:.9em;height:.9em;margin-right:.3em;"
    "vertical-align:middle}";

// A run of more characters than this without a place to break (a SHA-256) may break anywhere
// on a narrow page.
constexpr std::size_t kLongestUnbrokenWord = 24;

bool HasLongWord(const std::string& text) {
    std::size_t run = 0;
    for (const char c : text) {
        run = std::string_view(" -._/\\").find(c) != std::string_view::npos ? 0 : run + 1;
        if (run > kLongestUnbrokenWord) {
            return true;
        }
    }
    return false;
}

// The text as HTML, with places to break a long word: after a dot, an underscore or a slash, and
// between a time's date and its hour. The places add no character: the cell's text stays the
// terminal's.
std::string Breakable(const std::string& text) {
    std::string html;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool hour = text[i] == 'T' && i > 0 && text[i - 1] >= '0' && text[i - 1] <= '9';
        html += (hour ? "<wbr>" : "") + HtmlEscaped(std::string(1, text[i])) +
                (std::string_view("._/\\").find(text[i]) != std::string_view::npos ? "<wbr>" : "");
    }
    return html;
}

std::string Cell(const char* tag, const std::string& text, bool numeric) {
    const char* kind = numeric ? " class=\"number\"" : HasLongWord(text) ? " class=\"long\"" : "";
    return std::string("<") + tag + kind + ">" + Breakable(text) + "</" + tag + ">";
}

std::string TableHtml(const ReportTable& table) {
    std::string html = "<h2>" + HtmlEscaped(Said(*table.title)) + "</h2>\n<table><thead><tr>";
    for (std::size_t i = 0; i < table.header.size(); ++i) {
        html += Cell("th", table.header[i], table.numeric[i]);
    }
    html += "</tr></thead><tbody>\n";
    for (const std::vector<std::string>& row : table.rows) {
        html += "<tr>";
        for (std::size_t i = 0; i < row.size(); ++i) {
            html += Cell("td", row[i], table.numeric[i]);
        }
        html += "</tr>\n";
    }
    return html + "</tbody></table>\n";
}

}  // namespace

std::string ReportPage(const ShiftSummary& summary, const std::vector<ReportTable>& tables) {
    const std::string title =
        Said(kPageTitle, {std::to_string(summary.Units()), std::to_string(summary.Runs().size())});
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
        "<title>" +
        HtmlEscaped(title) + "</title><style>" + kStyle + "</style></head>\n<body>\n<h1>" +
        HtmlEscaped(title) + "</h1>\n";
    // Each picture after the table whose figures it draws: outcomes by the runs, the causes, the
    // seconds, and the hours of the shift after the totals.
    const std::string pictures[] = {
        OutcomesPerRunChart(summary), CausesParetoChart(summary), SecondsHistogram(summary), "", "",
        UnitsPerHourChart(summary)};
    for (std::size_t i = 0; i < tables.size(); ++i) {
        page += TableHtml(tables[i]) + (i < std::size(pictures) ? pictures[i] : "");
    }
    return page + "</body></html>\n";
}

}  // namespace quorvanex::cli
