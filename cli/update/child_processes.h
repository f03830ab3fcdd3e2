// Programs that update --all starts, one for each unit, and reads line by line as they run. Each
// runs on its own, so that one unit's fatal stop, or a crash, never touches another unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorvanex::cli {

// A whole line that a child wrote to its standard output (without its line end), or its end with
// its exit code: 128 + the signal for a child that a signal ended (elsewhere than on Windows), the
// system's exception code for one that crashed (on Windows).
struct ChildOutput {
    std::size_t child = 0;
    bool ended = false;
    std::string line;
    int exitCode = 0;
};

// A child's output cut into whole lines: it arrives in pieces that end anywhere, and a child may
// end its lines with "\r\n".
class ChildOutputLines {
  public:
    // Takes what was read and hands on every line that it completes.
    void Add(std::size_t child, const char* bytes, std::size_t length,
             std::vector<ChildOutput>& outputs);
    // The child closed its output: a last line without a line end is handed on too.
    void Close(std::size_t child, std::vector<ChildOutput>& outputs);

  private:
    std::string partial_;
};

class ChildProcesses {
  public:
    virtual ~ChildProcesses() = default;
    // Starts the child with these words, the program first, with the text as its standard input
    // and its standard output and error read by this object, line by line. The child is apart
    // from the console: the operator's Ctrl-C, Ctrl-Break or the console's closing reach the
    // parent alone, which decides, and a child goes on when the parent has ended. False when it
    // cannot start.
    virtual bool Start(std::size_t child, const std::vector<std::string>& words,
                       const std::string& standardInput) = 0;
    // What came from the children since the last call, waiting at most this long for something;
    // a child's end comes after its last line.
    virtual std::vector<ChildOutput> Wait(std::uint32_t milliseconds) = 0;
    // Ends a child that has hung; its end still comes through Wait.
    virtual void End(std::size_t child) = 0;
    // Lets a child go on alone, as when this program has ended: it is no longer read, nor ended
    // with this object, and its end never comes through Wait.
    virtual void Leave(std::size_t child) = 0;
};

// The system's processes.
std::unique_ptr<ChildProcesses> SystemChildProcesses();

// The path of this program, to start it again as a child.
std::string ThisProgramPath();

}  // namespace quorvanex::cli
