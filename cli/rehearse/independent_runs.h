// Runs that share nothing, such as the cut points of a power-cut sweep: each is a whole update on
// an emulator of its own and gives its result as text. Where the platform allows, they run in
// worker processes across the machine's cores; elsewhere one after the other in this process.
// Either way each result is handed on in the order of the runs, as soon as it and every one
// before it are there.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace quorvanex::cli {

// Runs run(i) for every i below count and hands each result to done(i, result) in order. False
// when some run gave no result (a worker process ended without it); done has then been called for
// every run before the first one missing.
bool RunIndependently(std::size_t count, const std::function<std::string(std::size_t)>& run,
                      const std::function<void(std::size_t, const std::string&)>& done);

// The same, one run after the other in this process.
bool RunOneAfterTheOther(std::size_t count, const std::function<std::string(std::size_t)>& run,
                         const std::function<void(std::size_t, const std::string&)>& done);

}  // namespace quorvanex::cli
