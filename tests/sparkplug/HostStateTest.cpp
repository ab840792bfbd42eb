// The primary host's STATE payload, and the command line of the Sparkplug mode.

#include <gtest/gtest.h>

#include "BridgeOptions.h"
#include "HostState.h"

namespace tolsa::sparkplug {
namespace {

TEST(SparkplugHostState, ReadsOnlineAndTimestampAndRefusesAnythingElse) {
    struct Case {
        const char* json;
        bool valid;
        bool online;
        uint64_t timestamp;
    };
    const Case cases[] = {
        {R"({"online":true,"timestamp":1700000000123})", true, true, 1700000000123},
        {R"( { "timestamp" : 5 , "online" : false } )", true, false, 5},
        {R"({"online":true})", true, true, 0},
        {R"({"online":false,"timestamp":7,"extra":{"a":[1,"x\"y",null]}})", true, false, 7},
        {"", false, false, 0},
        {"{}", false, false, 0},
        {R"({"online":"true","timestamp":1})", false, false, 0},
        {R"({"online":true,"timestamp":-1})", false, false, 0},
        {R"({"online":true,"timestamp":1.5})", false, false, 0},
        {R"({"online":true} x)", false, false, 0},
        {R"({"online":true,)", false, false, 0},
        {R"([true])", false, false, 0},
        {R"({"online":tru})", false, false, 0},
    };
    for (const Case& c : cases) {
        const auto state = ParseHostState(c.json);
        ASSERT_EQ(state.has_value(), c.valid) << c.json;
        if (!c.valid) continue;
        EXPECT_EQ(state->online, c.online) << c.json;
        EXPECT_EQ(state->timestamp, c.timestamp) << c.json;
    }
    // Deep nesting is refused, not followed.
    EXPECT_FALSE(ParseHostState(R"({"online":true,"x":)" + std::string(200, '[') + std::string(200, ']') + "}"));
}

TEST(SparkplugOptions, TheModeTakesANodeIdAndRefusesThePlainTopicOptions) {
    auto parse = [](std::vector<std::string> arguments) { return bridge::ParseBridgeOptions(arguments, std::nullopt); };
    const auto good = parse({"--sparkplug", "Plant/Edge", "--primary-host", "scada", "--writable", "MEMSH_*"});
    ASSERT_EQ(good.error, "");
    EXPECT_EQ(good.settings.sparkplug, "Plant/Edge");
    EXPECT_EQ(good.settings.primaryHost, "scada");
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"--sparkplug", "G/E", "--root", "a/b"}, "--root cannot be combined with --sparkplug: Sparkplug B fixes the topics"},
        {{"--sparkplug", "G/E", "--json"}, "--json cannot be combined with --sparkplug: Sparkplug B payloads are protobuf"},
        {{"--mirror", "a/b", "--sparkplug", "G/E"},
         "--mirror cannot be combined with --sparkplug: a Sparkplug edge node reads only its commands"},
        {{"--sparkplug", "G"}, "--sparkplug 'G' is not GROUP_ID/EDGE_NODE_ID (two non-empty parts without '/', '+' or '#')"},
        {{"--sparkplug", "G/E", "--primary-host", "a/b"}, "--primary-host 'a/b' is not a host id (one topic level)"},
        {{"--primary-host", "scada"}, "--primary-host needs --sparkplug"},
    };
    for (const auto& [arguments, error] : refused) EXPECT_EQ(parse(arguments).error, error) << arguments[0];
}

}  // namespace
}  // namespace tolsa::sparkplug
