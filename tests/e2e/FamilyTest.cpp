// The IORSh and MemSh families through the real library: each function gives
// what its generic twin gives for the prefixed name or the same index, with
// the same log line and the same effect on the record.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "AgentProcess.h"
#include "Records.h"

namespace tolsa::e2e {
namespace {

constexpr int32_t kCount = 6;
const std::string kLong(249, 'a');  // the longest declared name that fits

struct FamilyName {
    std::string family;  // function prefix
    std::string prefix;  // full-name prefix
};
const std::vector<FamilyName> kFamilies = {{"IORSh", "IORSH_"}, {"MemSh", "MEMSH_"}};

std::string Code(char c) { return std::to_string(static_cast<unsigned char>(c)); }

class Families : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Isolation(), "");
        ClearKestor();
        // 0 IORSH_Speed L, 1 IORSH_Label $, 2 IORSH_aaa... B, 3 MEMSH_Mode W,
        // 4 MEMSH_ L (a line that begins with '='), 5 MEMSH_Note $.
        WriteKestorFile("iorsh.mem", "Speed=L\nLabel=$\n" + kLong + "=B\n");
        WriteKestorFile("memsh.mem", "Mode=W\n=L\nNote=$\n");
    }

    // Values in every record, so that reads show what they copy.
    static void FillValues(Agent& agent) {
        for (int32_t i = 0; i < kCount; ++i) ASSERT_EQ(Poke(agent, i, kValueOffset, "v" + std::to_string(i) + "wxyz"), "ok");
    }
};

// One call and the log line it left.
struct Outcome {
    std::string answer;
    std::string log;
    bool operator==(const Outcome&) const = default;
};
void PrintTo(const Outcome& o, std::ostream* os) { *os << "answer '" << o.answer.substr(0, 80) << "' log '" << o.log << "'"; }

Outcome Observe(Agent& agent, LogTail& log, const std::string& function, const std::vector<std::string>& args) {
    Outcome o;
    o.answer = agent.Call(function, args);
    o.log = log.Next();
    return o;
}

TEST_F(Families, ByNameFunctionsAreTheirGenericTwinsOnThePrefixedName) {
    Agent agent;
    FillValues(agent);
    LogTail log;
    // Declared here, declared in the other file, never declared, the bare
    // prefix, and one that carries a prefix of its own.
    const std::vector<std::string> names = {"Speed", "Label", "Mode", "Note", "", kLong, "Sped", "MEMSH_Mode"};
    for (const auto& [family, prefix] : kFamilies) {
        for (const auto& name : names) {
            const std::string full = prefix + name;
            SCOPED_TRACE(full);
            const int32_t index = std::stoi(agent.Call("TolsaGetIdentVarName", {full}));
            const std::string expectedLog = index < 0 ? MissLine(full) : "";
            log.Next();
            for (const char* suffix : {"GetIdentVarName", "GetTypeVarName", "GetSizeVarName", "ReadVarName"}) {
                SCOPED_TRACE(suffix);
                const Outcome mine = Observe(agent, log, family + suffix, {name});
                EXPECT_EQ(mine, Observe(agent, log, std::string("Tolsa") + suffix, {full}));
                EXPECT_EQ(mine.log, expectedLog);
            }
            // A write has the same result, line and stored bytes.
            const std::string source = CString("new");
            std::string stored[2];
            const std::string writers[2] = {family + "WriteVarName", "TolsaWriteVarName"};
            Outcome outcomes[2];
            for (int w = 0; w < 2; ++w) {
                if (index >= 0) {
                    ASSERT_EQ(Poke(agent, index, kValueOffset, std::string(64, '\x11')), "ok");
                }
                log.Next();
                outcomes[w] = Observe(agent, log, writers[w], {w == 0 ? name : full, source});
                if (index >= 0) stored[w] = RawValue(agent, index);
            }
            EXPECT_EQ(outcomes[0], outcomes[1]);
            EXPECT_EQ(outcomes[0].answer, index >= 0 ? "0" : "-5");
            EXPECT_EQ(outcomes[0].log, expectedLog);
            EXPECT_EQ(stored[0], stored[1]);
            if (index >= 0) {
                EXPECT_NE(stored[0], std::string(64, '\x11'));
            }
        }
    }
    // Found or not, as the generic function finds the full name.
    EXPECT_EQ(agent.Call("IORShGetIdentVarName", {"Speed"}), "0");
    EXPECT_EQ(agent.Call("MemShGetIdentVarName", {"Speed"}), "-1");
    EXPECT_EQ(agent.Call("MemShGetIdentVarName", {""}), "4");
    EXPECT_EQ(agent.Call("IORShGetIdentVarName", {kLong}), "2");
}

TEST_F(Families, ByIndexFunctionsAreTheGenericOnesForEveryIndex) {
    Agent agent;
    FillValues(agent);
    LogTail log;
    for (int32_t index : {-1, 0, 1, 2, 3, 4, 5, kCount, INT32_MAX, INT32_MIN}) {
        const std::string i = std::to_string(index);
        SCOPED_TRACE(index);
        const bool inRange = index >= 0 && index < kCount;
        for (const char* suffix : {"GetTypeVar", "GetSizeVar", "ReadVar"}) {
            SCOPED_TRACE(suffix);
            const Outcome generic = Observe(agent, log, std::string("Tolsa") + suffix, {i});
            EXPECT_EQ(generic.log, inRange ? "" : RangeLine(kCount - 1, index));
            for (const auto& f : kFamilies) EXPECT_EQ(Observe(agent, log, f.family + suffix, {i}), generic);
        }
        const std::string source = "\x21\x22\x23\x24\x25\x26\x27\x28" + std::string(1, '\0');
        std::vector<std::string> stored;
        std::vector<Outcome> outcomes;
        for (const std::string function : {"TolsaWriteVar", "IORShWriteVar", "MemShWriteVar"}) {
            if (inRange) {
                ASSERT_EQ(Poke(agent, index, kValueOffset, std::string(64, '\x11')), "ok");
            }
            log.Next();
            outcomes.push_back(Observe(agent, log, function, {i, source}));
            if (inRange) stored.push_back(RawValue(agent, index));
        }
        EXPECT_EQ(outcomes[0].answer, inRange ? "0" : "-1");
        EXPECT_EQ(outcomes[0].log, inRange ? "" : RangeLine(kCount - 1, index));
        EXPECT_EQ(outcomes[1], outcomes[0]);
        EXPECT_EQ(outcomes[2], outcomes[0]);
        if (inRange) {
            EXPECT_EQ(stored[1], stored[0]);
            EXPECT_EQ(stored[2], stored[0]);
        }
    }
}

// Both families drop the first 6 characters of whatever full name the
// index has, and write exactly that string with its terminator.
TEST_F(Families, DeclaredNameReadDropsTheFirstSixCharacters) {
    Agent agent;
    // A name that lost its terminator is read as 255 characters.
    ASSERT_EQ(Poke(agent, 5, 0, std::string(256, 'N')), "ok");
    LogTail log;
    const struct {
        int32_t index;
        std::string written;
        std::string line;
    } cases[] = {
        {0, CString("Speed"), ""},
        {3, CString("Mode"), ""},  // a MEMSH_ record, through either family
        {4, CString(""), ""},
        {2, CString(kLong), ""},
        {5, CString(std::string(249, 'N')), ""},
        {kCount, CString(""), RangeLine(kCount - 1, kCount)},
        {-1, CString(""), RangeLine(kCount - 1, -1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        for (const auto& f : kFamilies) {
            const std::string answer = agent.Call(f.family + "ReadNameVar", {std::to_string(c.index)});
            EXPECT_EQ(Result(answer), "0");
            EXPECT_EQ(OutBytes(answer), Marked(c.written));
            EXPECT_EQ(log.Next(), c.line);
        }
    }
}

// A declared name too long for any record is looked up whole and missed.
TEST_F(Families, OverlongDeclaredNamesMissWithTheWholeName) {
    Agent agent;
    LogTail log;
    // The first 249 characters match record 2: a name cut to fit would find it.
    const std::vector<std::string> names = {kLong + "a", kLong + std::string(9751, 'b')};
    for (const auto& name : names) {
        SCOPED_TRACE(name.size());
        for (const auto& [family, prefix] : kFamilies) {
            const struct {
                std::string suffix;
                std::vector<std::string> args;
                std::string result;
            } table[] = {
                {"GetIdentVarName", {name}, "-1"},
                {"GetTypeVarName", {name}, Code('#')},
                {"GetSizeVarName", {name}, "-1"},
                {"WriteVarName", {name, CString("x")}, "-5"},
                {"ReadVarName", {name}, "-3 out=" + std::string(600, 'c')},  // untouched
            };
            for (const auto& row : table) {
                SCOPED_TRACE(family + row.suffix);
                EXPECT_EQ(agent.Call(family + row.suffix, row.args), row.result);
                EXPECT_EQ(log.Next(), MissLine(prefix + name));
            }
        }
    }
    EXPECT_EQ(RawValue(agent, 2), std::string(64, '\0'));
    // The longest name that fits is found: a full name of 255 characters.
    EXPECT_EQ(agent.Call("IORShWriteVarName", {kLong, "\x42"}), "0");
    EXPECT_EQ(OutBytes(agent.Call("IORShReadVarName", {kLong})), Marked("\x42"));
    EXPECT_EQ(agent.Call("TolsaGetSizeVarName", {"IORSH_" + kLong}), "1");
    EXPECT_EQ(log.Next(), "");
}

TEST_F(Families, OpenCloseAndCountReturnOneBeforeAndAfterPublication) {
    for (const bool published : {false, true}) {
        SCOPED_TRACE(published ? "published" : "iorsh.mem missing");
        if (!published) RemoveKestorFile("iorsh.mem");
        Agent agent;
        EXPECT_EQ(agent.Call("TolsaGetNumberOfItems"), published ? std::to_string(kCount) : "0");
        LogTail log;
        for (const auto& f : kFamilies) {
            for (const char* suffix : {"Open", "Close", "ReadApplicationCount"}) {
                SCOPED_TRACE(f.family + suffix);
                EXPECT_EQ(agent.Call(f.family + suffix), "1");
                EXPECT_EQ(log.Next(), "");
            }
        }
        // Before publication a family finds nothing, like the generic functions.
        EXPECT_EQ(agent.Call("IORShGetIdentVarName", {"Speed"}), published ? "0" : "-1");
        EXPECT_EQ(agent.Call("MemShReadVar", {"0"}).substr(0, 2), published ? "0 " : "-1");
        const std::string tail = ReadLog();
        const std::string last = published ? "" : "tried to access variable outside valid range (0 - -1) 0\n";
        EXPECT_EQ(tail.substr(tail.size() - last.size()), last);
        ClearKestor();
        WriteKestorFile("iorsh.mem", "Speed=L\nLabel=$\n" + kLong + "=B\n");
        WriteKestorFile("memsh.mem", "Mode=W\n=L\nNote=$\n");
    }
}

}  // namespace
}  // namespace tolsa::e2e
