// The time a walk has left, as the window's bar and the command line's progress line show it.

#include "time_left.h"

#include <gtest/gtest.h>

#include <optional>

using namespace quorvel;

namespace {

struct TimeLeftCase {
    const char* name;
    int total;
    int answered;
    double spentSeconds;
    std::optional<double> leftSeconds;
};

class TimeLeftFigures : public testing::TestWithParam<TimeLeftCase> {};

TEST_P(TimeLeftFigures, TheRestAtThePaceOfTheAnswered) {
    const TimeLeftCase& c = GetParam();
    const TimeLeft::Clock::time_point begun{};
    const auto now = begun + std::chrono::duration_cast<TimeLeft::Clock::duration>(
                                 TimeLeft::Seconds(c.spentSeconds));
    const TimeLeft estimate(c.total, begun);
    EXPECT_DOUBLE_EQ(estimate.spent(now).count(), c.spentSeconds);
    const std::optional<TimeLeft::Seconds> left = estimate.left(c.answered, now);
    ASSERT_EQ(left.has_value(), c.leftSeconds.has_value());
    if (left) {
        EXPECT_NEAR(left->count(), *c.leftSeconds, 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Walks, TimeLeftFigures,
    testing::Values(TimeLeftCase{"NothingAnsweredYet", 88, 0, 3.0, std::nullopt},
                    TimeLeftCase{"FirstBlock", 88, 1, 0.5, 43.5},
                    TimeLeftCase{"Halfway", 88, 44, 22.0, 22.0},
                    TimeLeftCase{"LastAnswered", 88, 88, 44.0, 0.0},
                    TimeLeftCase{"MoreAnsweredThanCounted", 88, 90, 45.0, 0.0},
                    TimeLeftCase{"RowsOfAWholeImage", 8192, 4096, 300.0, 300.0}),
    [](const testing::TestParamInfo<TimeLeftCase>& info) { return info.param.name; });

}  // namespace
