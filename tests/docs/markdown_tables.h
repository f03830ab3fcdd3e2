// The tables of a Markdown document as the documentation checks read them: each row's cells, the
// code spans of a cell, and the comment that a row carries for its check.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/text_pieces.h"

namespace quorvanex::docs_test {

struct TableRow {
    int line = 0;  // in the document, from 1
    std::vector<std::string> cells;
    std::string comment;  // the words of an HTML comment in the row, if it has one
};

struct Table {
    int line = 0;
    std::vector<std::string> header;
    std::vector<TableRow> rows;
};

// The cells of a table's line, split at each "|" outside code spans.
inline std::vector<std::string> CellsOf(const std::string& line) {
    std::vector<std::string> cells;
    std::string cell;
    bool inCode = false;
    for (std::size_t i = 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '`') {
            inCode = !inCode;
        }
        if (c == '|' && !inCode) {
            cells.push_back(test_support::Trimmed(cell));
            cell.clear();
        } else {
            cell += c;
        }
    }
    return cells;
}

// The text without its HTML comment; the comment's words go to comment.
inline std::string WithoutComment(const std::string& text, std::string* comment = nullptr) {
    const std::size_t open = text.find("<!--");
    const std::size_t close = text.find("-->", open);
    if (open == std::string::npos || close == std::string::npos) {
        return text;
    }
    if (comment != nullptr) {
        *comment = test_support::Trimmed(text.substr(open + 4, close - open - 4));
    }
    return text.substr(0, open) + text.substr(close + 3);
}

inline std::vector<Table> TablesOf(const std::string& document) {
    std::vector<Table> tables;
    std::istringstream lines(document);
    std::string line;
    int number = 0;
    bool inTable = false;
    while (std::getline(lines, line)) {
        ++number;
        if (line.rfind("|", 0) != 0) {
            inTable = false;
            continue;
        }
        if (!inTable) {
            inTable = true;
            tables.push_back({number, CellsOf(WithoutComment(line)), {}});
            continue;
        }
        if (line.rfind("|---", 0) == 0) {
            continue;
        }
        TableRow row;
        row.line = number;
        row.cells = CellsOf(WithoutComment(line, &row.comment));
        tables.back().rows.push_back(row);
    }
    return tables;
}

// The code spans of a text, in order, each a group of alternatives: spans written with " or "
// between them ("`ERROR Write Enable!` or `Sector erase error!`") are one group.
inline std::vector<std::vector<std::string>> CodeSpanGroups(const std::string& text) {
    std::vector<std::vector<std::string>> groups;
    std::size_t at = 0;
    std::size_t previousEnd = std::string::npos;
    for (;;) {
        const std::size_t open = text.find('`', at);
        const std::size_t close = open == std::string::npos ? open : text.find('`', open + 1);
        if (close == std::string::npos) {
            return groups;
        }
        const std::string span = text.substr(open + 1, close - open - 1);
        if (previousEnd != std::string::npos && !groups.empty() &&
            text.substr(previousEnd, open - previousEnd) == " or ") {
            groups.back().push_back(span);
        } else {
            groups.push_back({span});
        }
        previousEnd = close + 1;
        at = close + 1;
    }
}

}  // namespace quorvanex::docs_test
