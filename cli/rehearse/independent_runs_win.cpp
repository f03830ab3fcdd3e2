// On Windows the runs are made in this process, one after the other: the sweep there is for an
// engineer's look, and its speed is the native build's business.
#include "cli/rehearse/independent_runs.h"

namespace quorvanex::cli {

bool RunIndependently(std::size_t count, const std::function<std::string(std::size_t)>& run,
                      const std::function<void(std::size_t, const std::string&)>& done) {
    return RunOneAfterTheOther(count, run, done);
}

}  // namespace quorvanex::cli
