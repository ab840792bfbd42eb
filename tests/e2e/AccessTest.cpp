// The generic Tolsa functions through the real library: every result, every
// log line, and exactly which bytes each copy touches, in the caller's buffer
// (the agent's 0xCC marker) and in the shared record (raw bytes).

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "AgentProcess.h"
#include "Records.h"

namespace tolsa::e2e {
namespace {


struct Declared {
    int32_t index;
    std::string name;
    char letter;
    int32_t size;
};

// Record 5 and 7 share a name; record 10 is the one whose name gets spoiled.
const std::vector<Declared> kRecords = {
    {0, "IORSH_Speed", 'L', 4}, {1, "IORSH_Name", '$', 63}, {2, "IORSH_Flag", 'B', 1}, {3, "IORSH_Ratio", 'D', 8},
    {4, "IORSH_Odd", 'x', 0},   {5, "IORSH_Dup", 'W', 2},   {6, "IORSH_Word", 'M', 2}, {7, "IORSH_Dup", 'L', 4},
    {8, "MEMSH_Mode", 'W', 2},  {9, "MEMSH_Text", '$', 63}, {10, "MEMSH_Gone", '$', 63},
};
constexpr int32_t kCount = 11;
constexpr int32_t kIorshCount = 8;

std::string Le32(uint32_t v) {
    std::string b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = static_cast<char>(v >> (8 * i));
    return b;
}

std::string DoubleBytes(double d) {
    std::string b(8, '\0');
    std::memcpy(b.data(), &d, 8);
    return b;
}

std::string Code(char c) { return std::to_string(static_cast<unsigned char>(c)); }

void PokeValue(Agent& agent, int32_t index, const std::string& bytes) {
    ASSERT_EQ(Poke(agent, index, kValueOffset, bytes), "ok");
}

std::string AllRaw(Agent& agent) {
    std::string all;
    for (int32_t i = 0; i < kCount; ++i) all += ReadRecord(agent, i).bytes;
    return all;
}

// One call and what it must give: the result, the out buffer when the
// function has one, and the log it must add.
struct Expect {
    Expect(std::string f, std::vector<std::string> a, std::string r)
        : function(std::move(f)), args(std::move(a)), result(std::move(r)) {}
    // For a function with an out buffer: `written` is what it must write there.
    Expect(std::string f, std::vector<std::string> a, std::string r, bool, std::string written)
        : Expect(std::move(f), std::move(a), std::move(r)) {
        hasOut = true;
        out = std::move(written);
    }
    std::string function;
    std::vector<std::string> args;
    std::string result;
    bool hasOut = false;
    std::string out;
};

// What the log gained through the last call.
using LogNews = std::function<std::string()>;

void Check(Agent& agent, const LogNews& news, const Expect& e, const std::string& line) {
    SCOPED_TRACE(e.function + (e.args.empty() ? "" : " " + Encode(e.args[0])));
    const std::string answer = agent.Call(e.function, e.args);
    EXPECT_EQ(Result(answer), e.result);
    if (e.hasOut) {
        EXPECT_EQ(OutBytes(answer), Marked(e.out));
    }
    EXPECT_EQ(news(), line);
}

// Every by-name function with a name that finds nothing: its failure result,
// nothing written to the buffer, one miss line with the name as passed.
void ExpectNameMisses(Agent& agent, const LogNews& news, const std::string& name) {
    const std::string source = CString("zz");
    const std::vector<Expect> table = {
        {"TolsaGetIdentVarName", {name}, "-1"},
        {"TolsaGetTypeVarName", {name}, Code('#')},
        {"TolsaGetSizeVarName", {name}, "-1"},
        {"TolsaWriteVarName", {name, source}, "-5"},
        {"TolsaReadVarName", {name}, "-3", true, ""},
        {"TolsaGetPointerVarName", {name}, "null"},
        {"TolsaReadByte", {name}, "0"},
        {"TolsaReadInt32", {name}, "0"},
        {"TolsaReadDouble", {name}, "0"},
        {"TolsaReadString", {name}, "-3", true, ""},
        {"TolsaReadStringDirect", {name}, "null"},
        {"TolsaWriteByte", {name, "7"}, "-5"},
        {"TolsaWriteInt32", {name, "7"}, "-5"},
        {"TolsaWriteDouble", {name, "7"}, "-5"},
        {"TolsaWriteString", {name, source}, "-5"},
    };
    for (const auto& e : table) Check(agent, news, e, MissLine(name));
}

// Every by-index function with an index out of range.
void ExpectIndexMisses(Agent& agent, const LogNews& news, int32_t index, int32_t last) {
    const std::string i = std::to_string(index);
    const std::vector<Expect> table = {
        {"TolsaGetTypeVar", {i}, Code('#')},
        {"TolsaGetSizeVar", {i}, "0"},
        {"TolsaWriteVar", {i, CString("zz")}, "-1"},
        {"TolsaReadVar", {i}, "-1", true, ""},
        {"TolsaReadNameVar", {i}, "0", true, ""},
    };
    for (const auto& e : table) Check(agent, news, e, RangeLine(last, index));
}

const std::vector<int32_t> kBadIndices = {-1, kCount, 1000000, INT32_MAX, INT32_MIN};

class Access : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Isolation(), "");
        ClearKestor();
        WriteKestorFile("iorsh.mem", "Speed=L\nName=$\nFlag=B\nRatio=D\nOdd=x\nDup=W\nWord=M\nDup=L\n");
        WriteKestorFile("memsh.mem", "[Section]\n; note\nMode=W\nText=$\nGone=$\n");
    }
};

TEST_F(Access, FailedLookupsGiveTheirResultAndLineAndChangeNothing) {
    Agent agent;
    ASSERT_EQ(agent.Call("TolsaGetNumberOfItems"), std::to_string(kCount));
    PokeValue(agent, 0, "\x01\x02\x03\x04");
    PokeValue(agent, 1, CString("kept"));
    const std::string before = AllRaw(agent);
    LogTail log;
    const LogNews news = [&] { return log.Next(); };
    // Misspelt, wrong case, no prefix, the other file's prefix.
    for (const char* name : {"IORSH_Sped", "iorsh_Speed", "Speed", "MEMSH_Speed", ""}) {
        SCOPED_TRACE(name);
        ExpectNameMisses(agent, news, name);
    }
    for (int32_t index : kBadIndices) {
        SCOPED_TRACE(index);
        ExpectIndexMisses(agent, news, index, kCount - 1);
    }
    EXPECT_EQ(AllRaw(agent), before);
}

// Before anything is published, and with an empty store, the count is 0:
// every index is out of range "(0 - -1)" and every name is a miss.
TEST_F(Access, NothingPublishedFailsEveryLookup) {
    const struct {
        const char* what;
        const char* iorsh;  // nullptr: file missing
        std::string logHead;
    } cases[] = {
        {"iorsh.mem missing", nullptr, kBanner + "failed to open iorsh file at /kestor/iorsh.mem\n"},
        {"no declarations", "; nothing\n", kBanner + "0 variables after iorsh\n0 variables total\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ClearKestor();
        if (c.iorsh != nullptr) WriteKestorFile("iorsh.mem", c.iorsh);
        WriteKestorFile("memsh.mem", "[Section]\n");
        Agent agent;
        EXPECT_EQ(ReadLog().substr(0, c.logHead.size()), c.logHead);
        // The DLL retries start-up on thread notifications only, so its log
        // grows; the Linux library retries on every call, rewriting the log
        // each time, so only the last call's line follows start-up's.
        LogTail log;
        const std::string startup = ReadLog();
        const LogNews news = [&]() -> std::string {
            if (AgentIsWindows()) return log.Next();
            const std::string now = ReadLog();
            if (now.compare(0, startup.size(), startup) != 0) return "(start-up log changed)" + now;
            return now.substr(startup.size());
        };
        const std::vector<Expect> quiet = {
            {"TolsaGetPointer", {}, "null"}, {"TolsaGetNumberOfItems", {}, "0"}, {"TolsaGetItemSize", {}, "328"},
            {"TolsaOpen", {}, "0"},          {"TolsaClose", {}, "0"},
        };
        for (const auto& e : quiet) Check(agent, news, e, "");
        ExpectNameMisses(agent, news, "IORSH_Speed");
        for (int32_t index : {0, -1, 1, INT32_MAX}) ExpectIndexMisses(agent, news, index, -1);
    }
}

TEST_F(Access, EveryFunctionSucceedsOnADeclaredVariable) {
    Agent agent;
    // A value field full of distinct bytes shows how many a read copies.
    std::string pattern;
    for (int i = 0; i < 64; ++i) pattern.push_back(static_cast<char>(0x41 + i));
    for (const auto& r : kRecords) {
        if (r.letter != '$') PokeValue(agent, r.index, pattern);
    }
    PokeValue(agent, 1, CString("hello") + "junk");
    PokeValue(agent, 3, DoubleBytes(2.5));
    LogTail log;

    std::vector<Expect> table = {
        {"TolsaOpen", {}, "0"},
        {"TolsaClose", {}, "0"},
        {"TolsaGetItemSize", {}, "328"},
        {"TolsaGetPointer", {}, "+0"},
        {"TolsaGetNumberOfItems", {}, std::to_string(kCount)},
        // The first record of memsh.mem comes after all of iorsh.mem.
        {"TolsaGetIdentVarName", {"MEMSH_Mode"}, std::to_string(kIorshCount)},
        // The typed reads take the field's first bytes whatever the letter.
        {"TolsaReadByte", {"IORSH_Speed"}, std::to_string(0x41)},
        {"TolsaReadInt32", {"IORSH_Speed"}, std::to_string(0x44434241)},
        {"TolsaReadInt32", {"IORSH_Flag"}, std::to_string(0x44434241)},
        {"TolsaReadByte", {"IORSH_Name"}, std::to_string('h')},
        {"TolsaReadDouble", {"IORSH_Ratio"}, "2.5"},
        {"TolsaReadString", {"IORSH_Name"}, "0", true, "hello" + std::string(59, '\0')},
    };
    for (const auto& r : kRecords) {
        const std::string i = std::to_string(r.index);
        const std::string value = "+" + std::to_string(r.index * static_cast<int32_t>(kRecordSize) + kValueOffset);
        // The other strings are empty and still fill all 64 bytes.
        const std::string hello = r.index == 1 ? "hello" : "";
        const std::string raw = r.index == 3 ? DoubleBytes(2.5) : pattern.substr(0, r.size);
        const std::string read = r.letter == '$' ? hello + std::string(64 - hello.size(), '\0') : raw;
        table.push_back({"TolsaGetTypeVar", {i}, Code(r.letter)});
        table.push_back({"TolsaGetSizeVar", {i}, std::to_string(r.size)});
        table.push_back({"TolsaReadNameVar", {i}, "0", true, CString(r.name)});
        if (r.index == 5) continue;  // shadowed by its duplicate, 7
        table.push_back({"TolsaReadVar", {i}, "0", true, read});
        table.push_back({"TolsaGetIdentVarName", {r.name}, i});
        table.push_back({"TolsaGetTypeVarName", {r.name}, Code(r.letter)});
        table.push_back({"TolsaGetSizeVarName", {r.name}, std::to_string(r.size)});
        table.push_back({"TolsaReadVarName", {r.name}, "0", true, read});
        table.push_back({"TolsaGetPointerVarName", {r.name}, value});
        table.push_back({"TolsaReadStringDirect", {r.name}, value});
    }
    for (const auto& e : table) Check(agent, [&] { return log.Next(); }, e, "");

    // Raw writes replace exactly size bytes and leave the rest of the field.
    const struct {
        std::string function;
        std::vector<std::string> args;
        int32_t index;
        std::string stored;
    } writes[] = {
        {"TolsaWriteVar", {"0", "\x11\x22\x33\x44\x55"}, 0, "\x11\x22\x33\x44"},
        {"TolsaWriteVarName", {"IORSH_Word", "\x66\x77\x88"}, 6, "\x66\x77"},
        {"TolsaWriteVar", {"8", "\x99\xAA\xBB"}, 8, "\x99\xAA"},
        {"TolsaWriteVarName", {"IORSH_Flag", "\x5A\x5B"}, 2, "\x5A"},
        {"TolsaWriteInt32", {"IORSH_Speed", "-2"}, 0, Le32(0xFFFFFFFEu)},
        {"TolsaWriteDouble", {"IORSH_Ratio", "-0.125"}, 3, DoubleBytes(-0.125)},
        {"TolsaWriteByte", {"IORSH_Flag", "200"}, 2, "\xC8"},
    };
    for (const auto& w : writes) {
        SCOPED_TRACE(w.function);
        const std::string old = RawValue(agent, w.index);
        EXPECT_EQ(agent.Call(w.function, w.args), "0");
        EXPECT_EQ(RawValue(agent, w.index), w.stored + old.substr(w.stored.size()));
        EXPECT_EQ(log.Next(), "");
    }
    EXPECT_EQ(agent.Call("TolsaReadInt32", {"IORSH_Speed"}), "-2");
    EXPECT_EQ(agent.Call("TolsaReadDouble", {"IORSH_Ratio"}), "-0.125");
    EXPECT_EQ(agent.Call("TolsaReadByte", {"IORSH_Flag"}), "200");
    EXPECT_EQ(log.Next(), "");
}

TEST_F(Access, StringWritesByIndexAndByNameLeaveTheFieldDifferently) {
    Agent agent;
    const std::string s70 = std::string(35, 'x') + std::string(35, 'y');
    const std::string cut = s70.substr(0, 63) + std::string(1, '\0');
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> writes;  // function, string
        std::string field;
    } cases[] = {
        // By index the rest of the field is cleared; by name it keeps old bytes.
        {"short then shorter by index",
         {{"TolsaWriteVar", "abcdefgh"}, {"TolsaWriteVar", "abc"}},
         "abc" + std::string(61, '\0')},
        {"short then shorter by name",
         {{"TolsaWriteVarName", "abcdefgh"}, {"TolsaWriteVarName", "abc"}},
         "abc" + std::string(1, '\0') + "efgh" + std::string(56, '\0')},
        {"TolsaWriteString as by name",
         {{"TolsaWriteString", "abcdefgh"}, {"TolsaWriteString", "abc"}},
         "abc" + std::string(1, '\0') + "efgh" + std::string(56, '\0')},
        {"70 characters by index", {{"TolsaWriteVar", s70}}, cut},
        {"70 characters by name", {{"TolsaWriteVarName", s70}}, cut},
        {"63 characters by name fit", {{"TolsaWriteVarName", s70.substr(0, 63)}}, cut},
        {"64 characters by name are cut", {{"TolsaWriteVarName", s70.substr(0, 64)}}, cut},
        {"by name over a longer value", {{"TolsaWriteVar", s70}, {"TolsaWriteVarName", "ab"}},
         "ab" + std::string(1, '\0') + s70.substr(3, 60) + std::string(1, '\0')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(agent.Call("TolsaWriteVar", {"9", std::string(64, '\0')}), "0");  // a cleared field
        for (const auto& [function, text] : c.writes) {
            const std::string target = function == "TolsaWriteVar" ? "9" : "MEMSH_Text";
            ASSERT_EQ(agent.Call(function, {target, CString(text)}), "0");
        }
        EXPECT_EQ(RawValue(agent, 9), c.field);
        // Every read route gives the string, NUL-padded to exactly 64 bytes.
        const std::string text = c.field.substr(0, c.field.find('\0'));
        const std::string read = text + std::string(64 - text.size(), '\0');
        EXPECT_EQ(OutBytes(agent.Call("TolsaReadVar", {"9"})), Marked(read));
        EXPECT_EQ(OutBytes(agent.Call("TolsaReadVarName", {"MEMSH_Text"})), Marked(read));
        EXPECT_EQ(OutBytes(agent.Call("TolsaReadString", {"MEMSH_Text"})), Marked(read));
    }
    // A field without a terminator (written past the library) still reads as
    // 63 characters and a NUL.
    PokeValue(agent, 9, std::string(64, 'z'));
    EXPECT_EQ(OutBytes(agent.Call("TolsaReadVar", {"9"})), Marked(std::string(63, 'z') + std::string(1, '\0')));
}

TEST_F(Access, LetterOutsideTheTableCopiesNothing) {
    Agent agent;
    LogTail log;
    PokeValue(agent, 4, "\x11\x22\x33\x44");
    const std::string field = RawValue(agent, 4);
    EXPECT_EQ(agent.Call("TolsaWriteVar", {"4", "\x55\x66"}), "0");
    EXPECT_EQ(agent.Call("TolsaWriteVarName", {"IORSH_Odd", "\x55\x66"}), "0");
    EXPECT_EQ(agent.Call("TolsaWriteInt32", {"IORSH_Odd", "-1"}), "0");
    EXPECT_EQ(RawValue(agent, 4), field);
    EXPECT_EQ(agent.Call("TolsaReadVar", {"4"}), "0 out=" + std::string(600, 'c'));  // all 0xCC
    EXPECT_EQ(OutBytes(agent.Call("TolsaReadVarName", {"IORSH_Odd"})), Marked(""));
    // The typed reads still see the field.
    EXPECT_EQ(agent.Call("TolsaReadInt32", {"IORSH_Odd"}), std::to_string(0x44332211));
    EXPECT_EQ(log.Next(), "");
}

// The index finds the later of two equal names; the earlier one is reachable
// by index only.
TEST_F(Access, NameDeclaredTwiceReachesTheLaterRecord) {
    Agent agent;
    LogTail log;
    EXPECT_EQ(agent.Call("TolsaGetIdentVarName", {"IORSH_Dup"}), "7");
    EXPECT_EQ(agent.Call("TolsaGetTypeVarName", {"IORSH_Dup"}), Code('L'));
    EXPECT_EQ(agent.Call("TolsaGetSizeVarName", {"IORSH_Dup"}), "4");
    EXPECT_EQ(agent.Call("TolsaGetPointerVarName", {"IORSH_Dup"}), "+" + std::to_string(7 * static_cast<int32_t>(kRecordSize) + kValueOffset));
    EXPECT_EQ(agent.Call("TolsaWriteVarName", {"IORSH_Dup", "\x01\x02\x03\x04"}), "0");
    EXPECT_EQ(RawValue(agent, 7).substr(0, 4), "\x01\x02\x03\x04");
    EXPECT_EQ(RawValue(agent, 5), std::string(64, '\0'));
    EXPECT_EQ(agent.Call("TolsaWriteVar", {"5", "\x0A\x0B"}), "0");
    EXPECT_EQ(OutBytes(agent.Call("TolsaReadVar", {"5"})), Marked("\x0A\x0B"));
    EXPECT_EQ(OutBytes(agent.Call("TolsaReadVarName", {"IORSH_Dup"})), Marked("\x01\x02\x03\x04"));
    EXPECT_EQ(log.Next(), "");
}

// A typed write reads only its own value, widened with zeros to the size.
TEST_F(Access, TypedWritesReadNoFurtherThanTheirValue) {
    Agent agent;
    const std::string ones(8, '\xFF');
    const double pi = 3.14159265358979311600;  // 18 2D 44 54 FB 21 09 40
    const struct {
        std::string function;
        std::string name;
        std::string value;
        int32_t index;
        std::string before;  // the field's first bytes before the write
        std::string after;
    } cases[] = {
        {"TolsaWriteByte", "IORSH_Speed", "18", 0, ones, std::string("\x12\0\0\0", 4) + "\xFF\xFF\xFF\xFF"},
        {"TolsaWriteByte", "IORSH_Ratio", "127", 3, ones, std::string("\x7F\0\0\0\0\0\0\0", 8)},
        {"TolsaWriteInt32", "IORSH_Word", std::to_string(0x12345678), 6, ones, "\x78\x56" + ones.substr(2)},
        {"TolsaWriteInt32", "IORSH_Ratio", "-1", 3, ones, std::string("\xFF\xFF\xFF\xFF\0\0\0\0", 8)},
        {"TolsaWriteDouble", "IORSH_Flag", "3.1415926535897931", 2, ones, "\x18" + ones.substr(1)},
        // A string variable gets the value's 4 bytes and the zero after them.
        {"TolsaWriteInt32", "MEMSH_Text", std::to_string(0x64636261), 9, std::string(8, 'x'),
         "abcd" + std::string(1, '\0') + "xxx"},
    };
    ASSERT_EQ(DoubleBytes(pi), "\x18\x2D\x44\x54\xFB\x21\x09\x40");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.function + " " + c.name);
        PokeValue(agent, c.index, c.before);
        EXPECT_EQ(agent.Call(c.function, {c.name, c.value}), "0");
        EXPECT_EQ(RawValue(agent, c.index).substr(0, c.after.size()), c.after);
    }
    EXPECT_EQ(OutBytes(agent.Call("TolsaReadString", {"MEMSH_Text"})), Marked("abcd" + std::string(60, '\0')));
}

// A record name that lost its terminator still reads as a terminated string
// of at most 256 bytes.
TEST_F(Access, NameReadStopsAtTheNameField) {
    Agent agent;
    ASSERT_EQ(agent.Send("poke 10 0 " + std::string(256, 'N')), "ok");
    EXPECT_EQ(OutBytes(agent.Call("TolsaReadNameVar", {"10"})), Marked(std::string(255, 'N') + std::string(1, '\0')));
    EXPECT_EQ(OutBytes(agent.Call("TolsaReadNameVar", {"9"})), Marked(CString("MEMSH_Text")));
}

// What one process writes through any route, another reads through any route.
TEST_F(Access, ValuesCrossProcessesThroughEveryRoute) {
    Agent writer;
    Agent reader;
    struct Variable {
        int32_t index;
        std::string name;
        std::string typedWrite, typedRead;
        std::function<std::string(const std::string&)> typedArg;  // value bytes -> argument
        std::function<std::string(const std::string&)> typedValue;  // typed answer -> value bytes
        std::vector<std::string> values;
    };
    const auto asInt = [](const std::string& b) {
        int32_t v;
        std::memcpy(&v, b.data(), 4);
        return std::to_string(v);
    };
    const auto asDouble = [](const std::string& b) {
        double v;
        std::memcpy(&v, b.data(), 8);
        char text[64];
        std::snprintf(text, sizeof text, "%.17g", v);
        return std::string(text);
    };
    const auto fromInt = [](const std::string& t) { return Le32(static_cast<uint32_t>(std::stol(t))); };
    const auto fromDouble = [](const std::string& t) { return DoubleBytes(std::stod(t)); };
    const auto padded = [](const std::string& t) { return t + std::string(64 - t.size(), '\0'); };
    const std::vector<Variable> variables = {
        {0, "IORSH_Speed", "TolsaWriteInt32", "TolsaReadInt32", asInt, fromInt,
         {Le32(1001), Le32(0x80000000u), Le32(1003), Le32(1004)}},
        {3, "IORSH_Ratio", "TolsaWriteDouble", "TolsaReadDouble", asDouble, fromDouble,
         {DoubleBytes(1.5), DoubleBytes(-1e300), DoubleBytes(0.1), DoubleBytes(42)}},
        {1, "IORSH_Name", "TolsaWriteString", "", [](const std::string& b) { return CString(b); }, nullptr,
         {"first", "second one", "3rd", ""}},
    };
    for (const auto& v : variables) {
        SCOPED_TRACE(v.name);
        const bool text = v.name == "IORSH_Name";
        const std::vector<std::function<void(const std::string&)>> writes = {
            [&](const std::string& b) { EXPECT_EQ(writer.Call("TolsaWriteVar", {std::to_string(v.index), text ? CString(b) : b}), "0"); },
            [&](const std::string& b) { EXPECT_EQ(writer.Call("TolsaWriteVarName", {v.name, text ? CString(b) : b}), "0"); },
            [&](const std::string& b) { EXPECT_EQ(writer.Call(v.typedWrite, {v.name, v.typedArg(b)}), "0"); },
            [&](const std::string& b) { PokeValue(writer, v.index, text ? CString(b) : b); },
        };
        for (std::size_t route = 0; route < writes.size(); ++route) {
            SCOPED_TRACE("write route " + std::to_string(route));
            const std::string& value = v.values[route];
            writes[route](value);
            const std::string read = text ? padded(value) : value;
            EXPECT_EQ(OutBytes(reader.Call("TolsaReadVar", {std::to_string(v.index)})), Marked(read));
            EXPECT_EQ(OutBytes(reader.Call("TolsaReadVarName", {v.name})), Marked(read));
            if (text) {
                EXPECT_EQ(OutBytes(reader.Call("TolsaReadString", {v.name})), Marked(read));
            } else {
                EXPECT_EQ(v.typedValue(reader.Call(v.typedRead, {v.name})), value);
            }
            const std::string raw = text ? CString(value) : value;
            EXPECT_EQ(RawValue(reader, v.index).substr(0, raw.size()), raw);
        }
    }
}

}  // namespace
}  // namespace tolsa::e2e
