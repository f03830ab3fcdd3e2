#include "cli/rehearse/independent_runs.h"

namespace quorvanex::cli {

bool RunOneAfterTheOther(std::size_t count, const std::function<std::string(std::size_t)>& run,
                         const std::function<void(std::size_t, const std::string&)>& done) {
    for (std::size_t i = 0; i < count; ++i) {
        done(i, run(i));
    }
    return true;
}

}  // namespace quorvanex::cli
