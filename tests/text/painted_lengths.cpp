// Lines are painted over one another without clearing, and the start-up lines carry no blanks:
// every line that the program later paints at the row of a start-up line must be at least as long,
// or the end of the start-up line stays standing beside it. Checked when the tests are built, for
// every row of every subsystem's list, the start-up line with the version included: a version too
// long for the lines painted over it stops the build. (That each row's words fit its padded length
// and the 79 characters of the buffer is checked wherever a row is made.)
#include "protocol/progress_line.h"
#include "tests/text/every_operator_text.h"

namespace quorvanex {
namespace {

// The characters a row covers when painted: the words padded to the length, or the words alone,
// and for the progress line the shortest whole line that is made from its first words.
constexpr std::size_t PaintedLength(const StatusText& row) {
    if (&row == &kProgressLine) {
        return kShortestProgressLineLength;
    }
    return row.length != 0 ? static_cast<std::size_t>(row.length) : TextLength(row.words);
}

constexpr bool EveryLineCoversTheStartUpLineAtItsRow() {
    bool covered = true;
    for (const StatusText& startUp : kStartUpLines) {
        test_support::ForEachStatusText([&](const StatusText& line) {
            if (line.y == startUp.y && PaintedLength(line) < TextLength(startUp.words)) {
                covered = false;
            }
        });
    }
    return covered;
}
static_assert(EveryLineCoversTheStartUpLineAtItsRow(),
              "a status line is shorter than the start-up line at its row, which it must cover");

// Every row of the start-up lines is painted over later, the version's row included.
constexpr bool EveryStartUpLineIsPaintedOver() {
    for (const StatusText& startUp : kStartUpLines) {
        bool paintedOver = false;
        test_support::ForEachStatusText(
            [&](const StatusText& line) { paintedOver = paintedOver || line.y == startUp.y; });
        if (!paintedOver) {
            return false;
        }
    }
    return true;
}
static_assert(EveryStartUpLineIsPaintedOver(), "a start-up line whose row no later line paints");

}  // namespace
}  // namespace quorvanex
