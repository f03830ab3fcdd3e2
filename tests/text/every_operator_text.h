// Every text that the programs paint, show or say, walked from every list of texts: each
// *_texts.h of the programs and the emulator is found when the build is configured
// (tests/CMakeLists.txt) and walked here without being named, with the tables of lines that its
// list names. A new text is a row of a list; a new list is a *_texts.h, walked as it comes.
#pragma once

#include "every_text_list.h"

namespace quorvanex::test_support {

// Visits each status line (the start-up lines of kStartUpLines among them), each notice, each
// path notice and each text with values (its words as written: narrow for the command line's,
// wide for the programs').
template <typename VisitLine, typename VisitNotice, typename VisitPathNotice, typename VisitText>
constexpr void ForEachText(VisitLine line, VisitNotice notice, VisitPathNotice pathNotice,
                           VisitText text) {
#define QUORVANEX_VISIT_LINE(name, ...) line(name);
#define QUORVANEX_VISIT_NOTICE(name, ...) notice(name);
#define QUORVANEX_VISIT_PATH_NOTICE(name, ...) pathNotice(name);
#define QUORVANEX_VISIT_TEXT(name, words) text(words);
#define QUORVANEX_VISIT_LINES(table) \
    for (const auto& row : table) {  \
        line(LineOf(row));           \
    }
#define QUORVANEX_VISIT(LIST)                                                       \
    LIST(QUORVANEX_VISIT_LINE, QUORVANEX_VISIT_NOTICE, QUORVANEX_VISIT_PATH_NOTICE, \
         QUORVANEX_VISIT_TEXT, QUORVANEX_VISIT_LINES)
    QUORVANEX_EVERY_TEXT_LIST(QUORVANEX_VISIT)
#undef QUORVANEX_VISIT
#undef QUORVANEX_VISIT_LINES
#undef QUORVANEX_VISIT_TEXT
#undef QUORVANEX_VISIT_PATH_NOTICE
#undef QUORVANEX_VISIT_NOTICE
#undef QUORVANEX_VISIT_LINE
}

// Whether the line is one of the start-up lines, which the window draws before anything else.
constexpr bool IsStartUpLine(const StatusText& line) {
    for (const StatusText& startUp : kStartUpLines) {
        if (&line == &startUp) {
            return true;
        }
    }
    return false;
}

// Each status line painted while the program runs: every line but the start-up lines.
template <typename VisitLine>
constexpr void ForEachStatusText(VisitLine line) {
    ForEachText(
        [&](const StatusText& row) {
            if (!IsStartUpLine(row)) {
                line(row);
            }
        },
        [](const NoticeText&) {}, [](const PathNotice&) {}, [](const auto*) {});
}

}  // namespace quorvanex::test_support
