// The bridge's parts that need neither a broker nor an area: the command
// line, the reconnect delays, change detection and the plain topic layout.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "Backoff.h"
#include "BridgeOptions.h"
#include "PlainLayout.h"
#include "Shadow.h"

namespace tolsa::bridge {
namespace {

TEST(BrokerUrl, AcceptsHostsPortsAndSchemes) {
    struct Case { const char* text; bool tls; const char* host; int port; };
    for (const Case& c : std::vector<Case>{{"mqtt://127.0.0.1", false, "127.0.0.1", 1883},
                                           {"mqtt://broker.local:1884/", false, "broker.local", 1884},
                                           {"mqtts://h", true, "h", 8883},
                                           {"mqtts://h:65535", true, "h", 65535},
                                           {"mqtt://[::1]:1999", false, "::1", 1999}}) {
        const auto url = ParseBrokerUrl(c.text);
        ASSERT_TRUE(url) << c.text;
        EXPECT_EQ(url->tls, c.tls) << c.text;
        EXPECT_EQ(url->host, c.host) << c.text;
        EXPECT_EQ(url->port, c.port) << c.text;
    }
}

TEST(BrokerUrl, RefusesWhatDoesNotParse) {
    for (const char* text : {"", "127.0.0.1:1883", "tcp://h", "mqtt://", "mqtt://:1883", "mqtt://h:", "mqtt://h:0",
                             "mqtt://h:65536", "mqtt://h:12x", "mqtt://h/path", "mqtt://user@h", "mqtt://[::1",
                             "mqtt://[::1]x", "MQTT://h"})
        EXPECT_FALSE(ParseBrokerUrl(text)) << text;
}

ParsedSettings Parse(std::vector<std::string> arguments, std::optional<std::string> password = std::nullopt) {
    return ParseBridgeOptions(arguments, password);
}

TEST(BridgeOptions, DefaultsAreTheDocumentedOnes) {
    const auto parsed = Parse({});
    ASSERT_EQ(parsed.error, "");
    const auto& s = parsed.settings;
    EXPECT_EQ(s.broker.host, "127.0.0.1");
    EXPECT_EQ(s.broker.port, 1883);
    EXPECT_FALSE(s.broker.tls);
    EXPECT_EQ(s.root, "");  // filled with tolsa/<host name> by the program
    EXPECT_TRUE(s.publish.empty());
    EXPECT_TRUE(s.writable.empty());
    EXPECT_EQ(s.intervalMs, 100);
    EXPECT_EQ(s.qos, 0);
    EXPECT_FALSE(s.password);
}

TEST(BridgeOptions, RepeatedOptionsAddUp) {
    const auto parsed = Parse({"--publish", "IORSH_*", "--publish=MEMSH_A", "--writable", "MEMSH_?", "--mirror",
                               "tolsa/b", "--mirror", "tolsa/c", "--interval", "1", "--qos", "2", "--json",
                               "--root", "site/one", "--broker", "mqtt://10.0.0.1:1884"});
    ASSERT_EQ(parsed.error, "");
    const auto& s = parsed.settings;
    EXPECT_EQ(s.publish, (std::vector<std::string>{"IORSH_*", "MEMSH_A"}));
    EXPECT_EQ(s.writable, (std::vector<std::string>{"MEMSH_?"}));
    EXPECT_EQ(s.mirrors, (std::vector<std::string>{"tolsa/b", "tolsa/c"}));
    EXPECT_EQ(s.intervalMs, 1);
    EXPECT_EQ(s.qos, 2);
    EXPECT_TRUE(s.json);
    EXPECT_EQ(s.root, "site/one");
    EXPECT_EQ(s.broker.port, 1884);
}

TEST(BridgeOptions, ErrorsNameWhatWasWrong) {
    struct Case { std::vector<std::string> arguments; const char* named; };
    for (const Case& c : std::vector<Case>{
             {{"--broker", "tcp://h"}, "tcp://h"},
             {{"--interval", "0"}, "--interval '0'"},
             {{"--interval", "fast"}, "--interval 'fast'"},
             {{"--qos", "3"}, "--qos '3'"},
             {{"--root", "a/#"}, "--root 'a/#'"},
             {{"--root", ""}, "--root ''"},
             {{"--mirror", "a/+/b"}, "--mirror 'a/+/b'"},
             {{"--password", "secret"}, "unknown option '--password'"},
             {{"--password-file", "/nonexistent/pw"}, "/nonexistent/pw"},
             {{"--broker", "mqtts://h", "--cafile", "/nonexistent/ca.crt"}, "/nonexistent/ca.crt"},
             {{"--broker", "mqtts://h", "--cert", "/dev/null"}, "--cert and --key"},
             {{"--cafile", "/dev/null"}, "mqtts://"},
             {{"--interval"}, "--interval needs a value"},
             {{"stray"}, "'stray'"},
         }) {
        const auto parsed = Parse(c.arguments);
        EXPECT_NE(parsed.error.find(c.named), std::string::npos) << parsed.error;
    }
}

TEST(BridgeOptions, PasswordComesFromTheFileOrTheEnvironmentOnly) {
    const std::string path = testing::TempDir() + "bridge-password";
    std::ofstream(path, std::ios::binary) << "s3cret\r\nsecond line\n";
    auto parsed = Parse({"--username", "u", "--password-file", path}, std::string("from-env"));
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.settings.password, "s3cret");  // the file wins, first line only
    parsed = Parse({"--username", "u"}, std::string("from-env"));
    EXPECT_EQ(parsed.settings.password, "from-env");
    parsed = Parse({}, std::string("from-env"));
    EXPECT_NE(parsed.error.find("--username"), std::string::npos);
}

TEST(Backoff, DoublesFrom100MsTo5SecondsAndResets) {
    Backoff backoff;
    std::vector<long> delays;
    for (int i = 0; i < 9; ++i) delays.push_back(static_cast<long>(backoff.Next().count()));
    EXPECT_EQ(delays, (std::vector<long>{100, 200, 400, 800, 1600, 3200, 5000, 5000, 5000}));
    backoff.Reset();
    EXPECT_EQ(backoff.Next().count(), 100);
}

// A fake area of 328-byte records: only the value fields matter here.
struct FakeArea {
    static constexpr int kItem = 328, kValue = 264;
    std::vector<unsigned char> bytes = std::vector<unsigned char>(kItem * 4);
    unsigned char* Value(int index) { return bytes.data() + index * kItem + kValue; }
};

TEST(Shadow, ReportsOnlyChangedBytesOfWatchedRecords) {
    FakeArea area;
    // Records 0 ('L', 4 bytes), 2 ('$', all 64 bytes) and 3 (size 0) watched; 1 not.
    Shadow shadow({0, 2, 3}, {4, 64, 0});
    std::vector<int32_t> changed;
    shadow.Pass(area.bytes.data(), FakeArea::kItem, FakeArea::kValue, changed);
    EXPECT_TRUE(changed.empty());  // the shadow starts zeroed, as a new area

    area.Value(0)[3] = 1;   // in the size
    area.Value(0)[4] = 9;   // behind the size: not part of the value
    area.Value(1)[0] = 7;   // not watched
    area.Value(2)[63] = 5;  // a string's last byte
    area.Value(3)[0] = 1;   // size 0: nothing to compare
    shadow.Pass(area.bytes.data(), FakeArea::kItem, FakeArea::kValue, changed);
    EXPECT_EQ(changed, (std::vector<int32_t>{0, 1}));  // positions of records 0 and 2
    changed.clear();
    shadow.Pass(area.bytes.data(), FakeArea::kItem, FakeArea::kValue, changed);
    EXPECT_TRUE(changed.empty());  // taken into the shadow by the pass before

    // A value the bridge wrote itself is taken in, and not reported.
    area.Value(2)[0] = 'x';
    shadow.Take(2, area.Value(2));
    shadow.Take(1, area.Value(1));   // not watched: ignored
    shadow.Take(99, area.Value(1));  // no such record: ignored
    shadow.Pass(area.bytes.data(), FakeArea::kItem, FakeArea::kValue, changed);
    EXPECT_TRUE(changed.empty());
}

codec::Record MakeRecord(int32_t index, std::string name, char type, int32_t size, const void* value, std::size_t n) {
    codec::Record record;
    record.index = index;
    record.name = std::move(name);
    record.type = type;
    record.size = size;
    std::memcpy(record.value.data(), value, n);
    return record;
}

TEST(PlainLayout, TopicsAndPayloads) {
    PlainLayout plain("site/a", {"site/b"}, false);
    PlainLayout json("site/a", {}, true);
    const int32_t speed = -42;
    const double level = 0.1;
    const auto l = MakeRecord(3, "IORSH_Speed", 'L', 4, &speed, 4);
    const auto d = MakeRecord(4, "MEMSH_Level", 'D', 8, &level, 8);
    const auto s = MakeRecord(5, "MEMSH_Label", '$', 63, "say \"hi\"", 9);
    const double inf = std::numeric_limits<double>::infinity();
    const auto i = MakeRecord(6, "MEMSH_Inf", 'D', 8, &inf, 8);

    const auto birth = plain.Birth({l, s}, "T");
    ASSERT_EQ(birth.size(), 3u);
    EXPECT_EQ(birth[0].topic, "site/a/status");
    EXPECT_EQ(birth[0].payload, "online");
    EXPECT_TRUE(birth[0].retain);
    EXPECT_EQ(birth[1].topic, "site/a/value/IORSH_Speed");
    EXPECT_EQ(birth[1].payload, "-42");
    EXPECT_TRUE(birth[1].retain);
    EXPECT_EQ(birth[2].payload, "say \"hi\"");
    EXPECT_EQ(plain.Changed({d}, "T")[0].payload, "0.1");

    const std::string time = "2026-01-02T03:04:05.006Z";
    EXPECT_EQ(json.Payload(l, time),
              "{\"value\":-42,\"type\":\"L\",\"size\":4,\"index\":3,\"time\":\"2026-01-02T03:04:05.006Z\"}");
    EXPECT_EQ(json.Payload(s, time),
              "{\"value\":\"say \\\"hi\\\"\",\"type\":\"$\",\"size\":63,\"index\":5,\"time\":\"2026-01-02T03:04:05.006Z\"}");
    EXPECT_EQ(json.Payload(i, time).rfind("{\"value\":\"inf\",", 0), 0u);

    const Message will = plain.Will();
    EXPECT_EQ(will.topic, "site/a/status");
    EXPECT_EQ(will.payload, "offline");
    EXPECT_TRUE(will.retain);
    EXPECT_EQ(plain.Subscriptions(), (std::vector<std::string>{"site/a/set/+", "site/b/value/+"}));

    auto decoded = plain.Decode("site/a/set/IORSH_Speed", "7");
    ASSERT_EQ(decoded.requests.size(), 1u);
    EXPECT_EQ(decoded.requests[0].kind, Incoming::Kind::Set);
    EXPECT_EQ(decoded.requests[0].name, "IORSH_Speed");
    EXPECT_EQ(decoded.requests[0].text, "7");
    decoded = plain.Decode("site/b/value/MEMSH_Level", "2.5");
    ASSERT_EQ(decoded.requests.size(), 1u);
    EXPECT_EQ(decoded.requests[0].kind, Incoming::Kind::Mirror);
    EXPECT_EQ(decoded.requests[0].name, "MEMSH_Level");
    EXPECT_FALSE(plain.Decode("site/c/value/X", "1").error.empty());

    const Message refusal = plain.Refusal("site/a/set/X", "bad\"", "no variable named X");
    EXPECT_EQ(refusal.topic, "site/a/error");
    EXPECT_FALSE(refusal.retain);
    EXPECT_EQ(refusal.payload, "{\"topic\":\"site/a/set/X\",\"payload\":\"bad\\\"\",\"error\":\"no variable named X\"}");
}

}  // namespace
}  // namespace tolsa::bridge
