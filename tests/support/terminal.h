// A terminal in place of standard output and standard error, as an operator's console window or
// terminal is: on a POSIX system a pseudo-terminal, on Windows a console screen buffer. What the
// program wrote is read back as the screen shows it, rows drawn again in place included.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace quorvanex::test_support {

class TestTerminal {
  public:
    // Standard output and error go to the terminal from here on; it is 80 columns wide, and tall
    // enough that nothing scrolls off it.
    TestTerminal();
    ~TestTerminal();
    TestTerminal(const TestTerminal&) = delete;
    TestTerminal& operator=(const TestTerminal&) = delete;

    // Whether the terminal could be made: Wine without a display makes no console whose screen
    // can be read (the end-to-end scenario cli_terminal_rows runs the test with one). Standard
    // output and error are left as they were when it could not.
    bool Ready() const;
    // Gives standard output and error back, and returns the screen's rows as they stand, each
    // without the blanks at its end.
    std::vector<std::string> Rows();

    static constexpr std::size_t kColumns = 80;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// The rows as one text in which a text that wrapped over several rows reads on without a break:
// each row filled with blanks to the terminal's width.
std::string ScreenText(const std::vector<std::string>& rows);

}  // namespace quorvanex::test_support
