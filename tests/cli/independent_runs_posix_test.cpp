// Runs in worker processes: every result arrives, in order, whatever order the workers finish in;
// a worker that ends without its results is noticed.
#include "cli/rehearse/independent_runs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace quorvanex::cli {
namespace {

TEST(IndependentRuns, ResultsArriveInOrderAndAMissingOneIsNoticed) {
    // Results of every length, the long ones larger than a pipe holds at once.
    const auto result = [](std::size_t i) {
        return std::string(i % 3 == 0 ? 200000 : i, 'a' + i % 26);
    };
    std::vector<std::size_t> order;
    EXPECT_TRUE(RunIndependently(40, result, [&](std::size_t i, const std::string& text) {
        EXPECT_EQ(text, result(i));
        order.push_back(i);
    }));
    ASSERT_EQ(order.size(), 40u);
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(order[i], i);
    }

    // A worker that ends at run 7: the runs before it are handed on, the sweep is not complete.
    order.clear();
    EXPECT_FALSE(RunIndependently(
        20,
        [](std::size_t i) {
            if (i == 7) {
                _exit(1);
            }
            return std::to_string(i);
        },
        [&](std::size_t i, const std::string&) { order.push_back(i); }));
    EXPECT_EQ(order.size(), 7u);
}

}  // namespace
}  // namespace quorvanex::cli
