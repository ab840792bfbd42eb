// The parts of `tolsa serve` that need no server: the command line, the
// loopback rule, the token file, and the bounded log of passes.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "PassLog.h"
#include "ServeOptions.h"

namespace tolsa::serve {
namespace {

TEST(ServeOptions, DefaultsAndEveryOption) {
    ServeOptions defaults;
    EXPECT_EQ(ParseServeArguments({}, defaults), "");
    EXPECT_EQ(defaults.host, "127.0.0.1");
    EXPECT_EQ(defaults.port, 8420);
    EXPECT_EQ(defaults.intervalMs, 100);
    EXPECT_TRUE(defaults.writable.empty());

    ServeOptions options;
    EXPECT_EQ(ParseServeArguments({"--listen", "[::1]:0", "--allow-write", "MEMSH_*", "--allow-write=IORSH_Level",
                                   "--interval", "250", "--token-file", "t.txt"},
                                  options),
              "");
    EXPECT_EQ(options.host, "::1");
    EXPECT_EQ(options.port, 0);
    EXPECT_EQ(options.writable, (std::vector<std::string>{"MEMSH_*", "IORSH_Level"}));
    EXPECT_EQ(options.intervalMs, 250);
    EXPECT_EQ(options.tokenFile, "t.txt");
}

TEST(ServeOptions, WrongCommandLinesSayWhy) {
    const struct {
        std::vector<std::string> arguments;
        std::string problem;  // a part of it
    } cases[] = {
        {{"--listen", "8420"}, "ADDR:PORT"},
        {{"--listen", "127.0.0.1:65536"}, "not a port"},
        {{"--listen", "127.0.0.1:x"}, "not a port"},
        {{"--listen", ":80"}, "ADDR:PORT"},
        {{"--interval", "5"}, "10 to 60000"},
        {{"--interval", "fast"}, "10 to 60000"},
        {{"--allow-write", ""}, "needs a pattern"},
        {{"extra"}, "no operands"},
        {{"--verbose"}, "--verbose"},
        {{"--listen", "0.0.0.0:8420"}, "--token-file"},
        {{"--listen", "10.0.0.5:80"}, "--token-file"},
    };
    for (const auto& c : cases) {
        ServeOptions options;
        const std::string problem = ParseServeArguments(c.arguments, options);
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.arguments.front() << ": " << problem;
    }
    ServeOptions withToken;
    EXPECT_EQ(ParseServeArguments({"--listen", "0.0.0.0:8420", "--token-file", "t"}, withToken), "");
}

TEST(ServeOptions, OnlyLoopbackAddressesAreLoopback) {
    for (const char* host : {"127.0.0.1", "127.1.2.3", "127.255.255.255", "::1", "localhost"})
        EXPECT_TRUE(IsLoopback(host)) << host;
    for (const char* host : {"0.0.0.0", "::", "128.0.0.1", "127.0.0", "127.0.0.256", "127.0.0.1.5", "127..0.1",
                             "127.0.0.1x", "localhost.example.com", "", "12.0.0.1"})
        EXPECT_FALSE(IsLoopback(host)) << host;
}

TEST(ServeOptions, TheTokenIsTheFirstLineTrimmed) {
    const std::string file = testing::TempDir() + "tolsa-serve-token.txt";
    const struct {
        std::string content;
        std::string token;  // empty: refused
    } cases[] = {
        {"abc123\n", "abc123"},
        {"  abc123 \r\nsecond line\n", "abc123"},
        {"abc123", "abc123"},
        {"\n", ""},
        {"   \n", ""},
        {"two words\n", ""},
        {"tab\there\n", ""},
    };
    for (const auto& c : cases) {
        std::ofstream(file, std::ios::binary) << c.content;
        std::string why;
        EXPECT_EQ(ReadToken(file, why), c.token) << c.content;
        EXPECT_EQ(why.empty(), !c.token.empty()) << why;
    }
    std::remove(file.c_str());
    std::string why;
    EXPECT_EQ(ReadToken(file, why), "");
    EXPECT_NE(why.find("cannot read"), std::string::npos);
}

TEST(PassLog, AClientGetsWhatItMissedOrASnapshotNeverAGrowingQueue) {
    PassLog log(3, 1000);
    EXPECT_EQ(log.Since(0, 0), "");  // nothing new
    EXPECT_EQ(log.Since(0, 1), std::nullopt);  // a pass it never had
    for (uint64_t seq = 1; seq <= 3; ++seq) log.Add(seq, "p" + std::to_string(seq) + ";");
    EXPECT_EQ(log.Since(0, 3), "p1;p2;p3;");
    EXPECT_EQ(log.Since(2, 3), "p3;");
    EXPECT_EQ(log.Since(3, 3), "");
    for (uint64_t seq = 4; seq <= 100; ++seq) log.Add(seq, "p" + std::to_string(seq) + ";");
    EXPECT_EQ(log.Passes(), 3u);  // however far behind anyone is
    EXPECT_EQ(log.Since(0, 100), std::nullopt);   // behind: a snapshot instead
    EXPECT_EQ(log.Since(96, 100), std::nullopt);
    EXPECT_EQ(log.Since(97, 100), "p98;p99;p100;");
    log.Clear();
    EXPECT_EQ(log.Since(100, 101), std::nullopt);
}

TEST(PassLog, BoundedInBytesToo) {
    PassLog log(1000, 100);
    for (uint64_t seq = 1; seq <= 10; ++seq) log.Add(seq, std::string(30, 'x'));
    EXPECT_EQ(log.Passes(), 3u);
    EXPECT_LE(log.Bytes(), 100u);
    EXPECT_EQ(log.Since(7, 10)->size(), 90u);
    EXPECT_EQ(log.Since(6, 10), std::nullopt);
    log.Add(11, std::string(500, 'y'));  // larger than the bound alone: not kept
    EXPECT_EQ(log.Passes(), 0u);
    EXPECT_EQ(log.Since(10, 11), std::nullopt);
}

}  // namespace
}  // namespace tolsa::serve
