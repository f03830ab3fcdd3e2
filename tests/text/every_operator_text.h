// Every text that the window program paints or shows, walked from each subsystem's list and from
// the tables of lines, for the checks that each is explained in the operator guide and that each
// line covers the start-up line at its row. A new text is a row of a list or a table and is walked
// here without being named.
#pragma once

#include "app/app_texts.h"
#include "link/link_texts.h"
#include "protocol/protocol_texts.h"
#include "update/image_set.h"
#include "update/update_texts.h"

namespace quorvanex::test_support {

// Visits each status line painted while the program runs (the start-up lines are kStartUpLines),
// each notice and each path notice.
template <typename VisitLine, typename VisitNotice, typename VisitPathNotice>
constexpr void ForEachText(VisitLine line, VisitNotice notice, VisitPathNotice pathNotice) {
#define QUORVANEX_VISIT_LINE(name, ...) line(name);
#define QUORVANEX_VISIT_NOTICE(name, ...) notice(name);
#define QUORVANEX_VISIT_PATH_NOTICE(name, ...) pathNotice(name);
#define QUORVANEX_VISIT(LIST) \
    LIST(QUORVANEX_VISIT_LINE, QUORVANEX_VISIT_NOTICE, QUORVANEX_VISIT_PATH_NOTICE)
    QUORVANEX_VISIT(QUORVANEX_LINK_TEXTS)
    QUORVANEX_VISIT(QUORVANEX_PROTOCOL_TEXTS)
    QUORVANEX_VISIT(QUORVANEX_UPDATE_TEXTS)
#undef QUORVANEX_VISIT
#undef QUORVANEX_VISIT_PATH_NOTICE
#undef QUORVANEX_VISIT_NOTICE
#undef QUORVANEX_VISIT_LINE
    for (const ControlCommandLine& command : kControlCommandLines) {
        line(command.line);
    }
    for (const PartFile& part : kPartFiles) {
        line(part.line);
    }
    for (const StatusText& finish : kFinishLines) {
        line(finish);
    }
    for (const StatusText& fatal : kFatalTexts) {
        line(fatal);
    }
}

template <typename VisitLine>
constexpr void ForEachStatusText(VisitLine line) {
    ForEachText(
        line, [](const NoticeText&) {}, [](const PathNotice&) {});
}

}  // namespace quorvanex::test_support
