// The harness's arithmetic and verdicts, on blocks whose timings are made up,
// so that every ratio and verdict is known in advance.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "harness/Harness.h"

namespace tolsa::bench {
namespace {

TEST(Harness, PercentilesAreLinearBetweenRanks) {
    EXPECT_DOUBLE_EQ(Percentile({5, 1, 4, 2, 3}, 0.1), 1.4);
    EXPECT_DOUBLE_EQ(Percentile({5, 1, 4, 2, 3}, 0.5), 3);
    EXPECT_DOUBLE_EQ(Percentile({5, 1, 4, 2, 3}, 0.9), 4.6);
    EXPECT_DOUBLE_EQ(Percentile({7}, 0.9), 7);
    EXPECT_TRUE(std::isnan(Percentile({}, 0.5)));
}

TEST(Harness, VerdictRestsOnTheWholeBand) {
    const struct {
        Goal goal;
        double p10, p90;
        std::string verdict;
    } cases[] = {
        {AtMost(2), 1.5, 1.9, "met"},       {AtMost(2), 1.5, 2.0, "met"},
        {AtMost(2), 1.5, 2.1, "unstable"},  {AtMost(2), 2.0, 2.1, "unstable"},
        {AtMost(2), 2.01, 3, "NOT MET"},    {AtLeast(3), 3, 4, "met"},
        {AtLeast(3), 2.9, 3.1, "unstable"}, {AtLeast(3), 1, 2.9, "NOT MET"},
        {NoGoal(), 1, 100, "-"},
    };
    for (const auto& c : cases) EXPECT_EQ(Verdict(c.goal, c.p10, c.p90), c.verdict) << c.p10 << ".." << c.p90;
}

// Nanoseconds per iteration, fixed or taken in turn from a list.
Block Costs(std::vector<double> perIteration) {
    auto call = std::make_shared<std::size_t>(0);
    return [perIteration, call](uint64_t iterations) {
        return perIteration[(*call)++ % perIteration.size()] * static_cast<double>(iterations);
    };
}

class HarnessRun : public testing::Test {
protected:
    std::string path = testing::TempDir() + "harness-" + std::to_string(getpid()) + ".json";
    void TearDown() override { std::remove(path.c_str()); }
    std::string Json() const {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    int Run(const std::vector<Comparison>& comparisons) {
        std::string json = "--json", rounds = "--rounds", count = "9";
        char* argv[] = {nullptr, json.data(), path.data(), rounds.data(), count.data()};
        Harness harness("test", 5, argv);
        for (const Comparison& c : comparisons) harness.Compare(c);
        return harness.Finish();
    }
};

TEST_F(HarnessRun, WritesMediansRatiosAndVerdicts) {
    ASSERT_EQ(Run({
                  {.target = "steady", .a = {"A", Costs({3})}, .b = {"B", Costs({1})}, .goal = AtMost(2)},
                  {.target = "per declaration", .a = {"A", Costs({3000}), 1000}, .b = {"B", Costs({2})},
                   .goal = AtMost(2)},
                  {.target = "swinging", .a = {"A", Costs({1})}, .b = {"B", Costs({1, 0.25})}, .goal = AtMost(2)},
              }),
              0);
    const std::string json = Json();
    EXPECT_NE(json.find("\"target\": \"steady\", \"kind\": \"ratio\", \"a\": {\"name\": \"A\", \"median\": 3,"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"ratio\": {\"median\": 3, \"p10\": 3, \"p90\": 3}, \"goal\": {\"at_most\": 2}, "
                        "\"verdict\": \"NOT MET\", \"rounds\": 9"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"ratio\": {\"median\": 1.5, \"p10\": 1.5, \"p90\": 1.5}, \"goal\": {\"at_most\": 2}, "
                        "\"verdict\": \"met\""),
              std::string::npos)
        << json;
    // Ratios of 1 and 4 by turns straddle the goal.
    EXPECT_NE(json.find("\"verdict\": \"unstable\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"cpu_model\": "), std::string::npos);
}

TEST_F(HarnessRun, AFailingBlockFailsTheComparisonAndTheRun) {
    auto calls = std::make_shared<int>(0);
    const Block failsLater = [calls](uint64_t iterations) { return ++*calls > 8 ? -1.0 : 1.0 * iterations; };
    EXPECT_EQ(Run({{.target = "breaks", .a = {"A", failsLater}, .b = {"B", Costs({1})}, .goal = AtMost(2)}}), 1);
    EXPECT_NE(Json().find("\"verdict\": \"failed\""), std::string::npos) << Json();
}

}  // namespace
}  // namespace tolsa::bench
