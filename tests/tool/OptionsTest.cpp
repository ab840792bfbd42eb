// The option forms of the subcommands.

#include <gtest/gtest.h>

#include "Options.h"

namespace {

using tolsa::tool::ParseOptions;

TEST(Options, SeparatesOptionsFromOperands) {
    const auto parsed = ParseOptions({"IORSH_*", "--count", "3", "--interval=50", "-5", "--", "--count"},
                                     {{"--count", true}, {"--interval", true}, {"--json", false}});
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.Value("--count"), "3");
    EXPECT_EQ(parsed.Value("--interval"), "50");
    EXPECT_FALSE(parsed.Has("--json"));
    EXPECT_EQ(parsed.operands, (std::vector<std::string>{"IORSH_*", "-5", "--count"}));
}

TEST(Options, ReportsTheFirstProblem) {
    const std::vector<tolsa::tool::OptionRule> rules = {{"--count", true}, {"--json", false}};
    EXPECT_EQ(ParseOptions({"--yaml", "--count"}, rules).error, "unknown option '--yaml'");
    EXPECT_EQ(ParseOptions({"--count"}, rules).error, "--count needs a value");
    EXPECT_EQ(ParseOptions({"--json=1"}, rules).error, "--json takes no value");
}

TEST(Options, PositiveNumbersOnly) {
    using tolsa::tool::PositiveNumber;
    EXPECT_EQ(PositiveNumber("1", 10), 1);
    EXPECT_EQ(PositiveNumber("10", 10), 10);
    for (const char* bad : {"0", "11", "-1", "", "1x", " 1", "0x5"}) EXPECT_FALSE(PositiveNumber(bad, 10)) << bad;
}

}  // namespace
