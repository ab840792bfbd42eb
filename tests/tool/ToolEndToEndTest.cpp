// The tolsa tool against a known area, natively and as tolsa.exe under wine.
// An agent process (tests/e2e/agent.cpp) fills the area and holds it mapped,
// so values survive between tool runs; the raw records it reads back show
// what the tool wrote, and that a refused `set` wrote nothing.

#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "../e2e/AgentProcess.h"
#include "ToolProcess.h"

namespace tolsa::tooltest {
namespace {

using e2e::Agent;

constexpr int kRecords = 9;

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// "ok\trunning", as the value field of a string holds it: 63 bytes shown.
const std::string kStatus = "ok\trunning";
std::string StatusRaw() { return Hex(kStatus + std::string(63 - kStatus.size(), '\0')); }

// Each wine launch costs most of a second. Under wine the long tables run
// every third case: parsing and formatting are covered there case by case
// by tool_unit, so these runs check exit statuses, messages and the area.
bool Sampled(std::size_t i) {
    const std::string program = ToolProgram();
    const bool wine = program.size() > 4 && program.compare(program.size() - 4, 4, ".exe") == 0;
    return !wine || i % 3 == 0;
}

// One agent holds the area for the whole suite (each wine start costs
// seconds); every test starts from the same known values.
class ToolTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!e2e::Isolation().empty()) return;
        e2e::ClearKestor();
        // Records 0 to 8: one of every letter the tool decodes, and one (X)
        // it shows as hex of its size 0.
        e2e::WriteKestorFile("iorsh.mem", "Counter=L\nLevel=D\nStatus=$\nFlag=B\n");
        e2e::WriteKestorFile("memsh.mem", "[Settings]\nMode=W\nWord=M\nSmall=H\nOld=O\nBlob=X\n");
        agent_ = new Agent();
    }
    static void TearDownTestSuite() {
        delete agent_;
        agent_ = nullptr;
        e2e::ClearKestor();
    }

    void SetUp() override {
        if (agent_ == nullptr) GTEST_SKIP() << e2e::Isolation();
        ASSERT_EQ(agent_->Call("TolsaGetNumberOfItems"), std::to_string(kRecords));
        ASSERT_EQ(agent_->Call("TolsaWriteInt32", {"IORSH_Counter", "-42"}), "0");
        ASSERT_EQ(agent_->Call("TolsaWriteDouble", {"IORSH_Level", "2.5"}), "0");
        // By index, so that the rest of the field is cleared of earlier text.
        ASSERT_EQ(agent_->Call("TolsaWriteVar", {"2", e2e::CString(kStatus)}), "0");
        ASSERT_EQ(agent_->Call("TolsaWriteByte", {"IORSH_Flag", "200"}), "0");
        ASSERT_EQ(agent_->Call("TolsaWriteVarName", {"MEMSH_Mode", std::string("\xff\xff", 2)}), "0");
        ASSERT_EQ(agent_->Call("TolsaWriteVarName", {"MEMSH_Word", std::string("\x01\x02", 2)}), "0");
        ASSERT_EQ(agent_->Call("TolsaWriteByte", {"MEMSH_Small", "7"}), "0");
        ASSERT_EQ(agent_->Call("TolsaWriteByte", {"MEMSH_Old", "255"}), "0");
    }

    // Every record's 328 bytes, as the holding agent sees them.
    static std::vector<std::string> RawRecords() {
        std::vector<std::string> records;
        for (int i = 0; i < kRecords; ++i) records.push_back(agent_->Send("raw " + std::to_string(i)));
        return records;
    }

    static Agent* agent_;
};

Agent* ToolTest::agent_ = nullptr;

const char* const kList =
    "0  IORSH_Counter  L   4  -42\n"
    "1  IORSH_Level    D   8  2.5\n"
    "2  IORSH_Status   $  63  ok\\x09running\n"
    "3  IORSH_Flag     B   1  200\n"
    "4  MEMSH_Mode     W   2  65535\n"
    "5  MEMSH_Word     M   2  513\n"
    "6  MEMSH_Small    H   1  7\n"
    "7  MEMSH_Old      O   1  255\n"
    "8  MEMSH_Blob     X   0\n";

TEST_F(ToolTest, ListDecodesEveryRecordByItsLetter) {
    const auto result = RunTool({"list"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, kList);
    EXPECT_EQ(result.err, "");
}

TEST_F(ToolTest, ListPatternIsAGlobOnTheFullName) {
    const struct {
        const char* pattern;
        const char* out;
    } cases[] = {
        // Columns are as wide as the rows shown need.
        {"MEMSH_*o*", "4  MEMSH_Mode  W  2  65535\n5  MEMSH_Word  M  2  513\n8  MEMSH_Blob  X  0\n"},
        {"IORSH_[!CS]*", "1  IORSH_Level  D  8  2.5\n3  IORSH_Flag   B  1  200\n"},
        {"?ORSH_Counte?", "0  IORSH_Counter  L  4  -42\n"},
        {"iorsh_*", ""},
    };
    for (const auto& c : cases) {
        const auto result = RunTool({"list", c.pattern});
        EXPECT_EQ(result.status, 0) << c.pattern;
        EXPECT_EQ(result.out, c.out) << c.pattern;
    }
}

TEST_F(ToolTest, GetPrintsValuesByNameOrIndexDecodedOrRaw) {
    auto result = RunTool({"get", "IORSH_Counter", "#1", "MEMSH_Mode", "#2"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "-42\n2.5\n65535\nok\\x09running\n");
    result = RunTool({"get", "--raw", "#0", "IORSH_Level", "MEMSH_Word", "#8", "#2"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "d6ffffff\n0000000000000440\n0102\n\n" + StatusRaw() + "\n");
}

TEST_F(ToolTest, GetOfAnUnknownVariablePrintsNothingAndExitsOne) {
    const auto result = RunTool({"get", "IORSH_Counter", "IORSH_Nope", "#9"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err,
              "tolsa: no variable named IORSH_Nope\n"
              "tolsa: no variable at index 9 (there are 9: #0 to #8)\n");
}

TEST_F(ToolTest, DumpPrintsEveryRecordAsTabSeparatedLinesAndAsJson) {
    auto result = RunTool({"dump"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "0\tIORSH_Counter\tL\t4\t-42\td6ffffff\n"
              "1\tIORSH_Level\tD\t8\t2.5\t0000000000000440\n"
              "2\tIORSH_Status\t$\t63\tok\\x09running\t" + StatusRaw() + "\n"
              "3\tIORSH_Flag\tB\t1\t200\tc8\n"
              "4\tMEMSH_Mode\tW\t2\t65535\tffff\n"
              "5\tMEMSH_Word\tM\t2\t513\t0102\n"
              "6\tMEMSH_Small\tH\t1\t7\t07\n"
              "7\tMEMSH_Old\tO\t1\t255\tff\n"
              "8\tMEMSH_Blob\tX\t0\t\t\n");
    result = RunTool({"dump", "--json"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "[\n"
              "  {\"index\": 0, \"name\": \"IORSH_Counter\", \"type\": \"L\", \"size\": 4, \"value\": -42, \"raw\": \"d6ffffff\"},\n"
              "  {\"index\": 1, \"name\": \"IORSH_Level\", \"type\": \"D\", \"size\": 8, \"value\": 2.5, \"raw\": \"0000000000000440\"},\n"
              "  {\"index\": 2, \"name\": \"IORSH_Status\", \"type\": \"$\", \"size\": 63, \"value\": \"ok\\u0009running\", \"raw\": \"" +
                  StatusRaw() + "\"},\n"
              "  {\"index\": 3, \"name\": \"IORSH_Flag\", \"type\": \"B\", \"size\": 1, \"value\": 200, \"raw\": \"c8\"},\n"
              "  {\"index\": 4, \"name\": \"MEMSH_Mode\", \"type\": \"W\", \"size\": 2, \"value\": 65535, \"raw\": \"ffff\"},\n"
              "  {\"index\": 5, \"name\": \"MEMSH_Word\", \"type\": \"M\", \"size\": 2, \"value\": 513, \"raw\": \"0102\"},\n"
              "  {\"index\": 6, \"name\": \"MEMSH_Small\", \"type\": \"H\", \"size\": 1, \"value\": 7, \"raw\": \"07\"},\n"
              "  {\"index\": 7, \"name\": \"MEMSH_Old\", \"type\": \"O\", \"size\": 1, \"value\": 255, \"raw\": \"ff\"},\n"
              "  {\"index\": 8, \"name\": \"MEMSH_Blob\", \"type\": \"X\", \"size\": 0, \"value\": \"\", \"raw\": \"\"}\n"
              "]\n");
}

TEST_F(ToolTest, InfoDescribesTheAreaAndQuotesTheLogAsItStands) {
    const std::string log = e2e::ReadLog();
    const auto result = RunTool({"info"});
    EXPECT_EQ(result.status, 0) << result.err;
    // A view on Windows is rounded up to a page: the count stops at the
    // last named record all the same.
    const std::string bytes = e2e::AgentIsWindows() ? "4096" : std::to_string(kRecords * 328);
    std::string quoted;
    for (std::size_t at = 0, end; (end = log.find('\n', at)) != std::string::npos; at = end + 1)
        quoted += "  " + log.substr(at, end - at) + "\n";
    EXPECT_EQ(result.out,
              "version:          4.0.0\n"
              "directory:        /kestor/\n"
              "definition files: /kestor/iorsh.mem\n"
              "                  /kestor/memsh.mem\n"
              "area:             \"tolsavariables\", " + bytes + " bytes\n"
              "records:          9 named, of 328 bytes each\n"
              "log file:         /kestor/tolsa_log.txt\n"
              "log:\n" + quoted);
    EXPECT_NE(quoted.find("  8 MEMSH_Blob X 0\n"), std::string::npos) << quoted;
}

// Names, types and sizes (the first 264 bytes of each record) and the log:
// what only start-up may write.
struct StartupState {
    std::vector<std::string> heads;
    std::string log;
    bool operator==(const StartupState&) const = default;
};

TEST_F(ToolTest, NoSubcommandChangesTheLogOrANameTypeOrSize) {
    // Definition files edited since the agent started: a start-up now would
    // rewrite every record and the log.
    const std::string iorsh = e2e::ReadKestorFile("iorsh.mem"), memsh = e2e::ReadKestorFile("memsh.mem");
    e2e::WriteKestorFile("iorsh.mem", "Other=D\nStatus=L\n");
    e2e::WriteKestorFile("memsh.mem", "Blob=$\n");
    const auto state = [] {
        StartupState now{{}, e2e::ReadLog()};
        for (const auto& raw : RawRecords()) now.heads.push_back(raw.substr(0, 2 * 264));
        return now;
    };
    const StartupState before = state();
    const std::string file = "/kestor/passive.csv";
    const std::vector<std::vector<std::string>> runs = {
        {"list"}, {"get", "IORSH_Counter", "#8"}, {"set", "IORSH_Counter", "5"}, {"set", "#2", "text"},
        {"watch", "--count", "2", "--interval", "10"}, {"dump", "--json"}, {"info"},
        {"record", "--output", file, "--count", "2", "--interval", "10"}, {"replay", file, "--speed", "1000"},
    };
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const auto result = RunTool(runs[i]);
        EXPECT_EQ(result.status, 0) << runs[i][0] << ": " << result.err;
        EXPECT_EQ(result.err, "") << runs[i][0] << ": no status line when stderr is not a terminal";
        EXPECT_TRUE(state() == before) << runs[i][0] << " changed a name, type, size or the log";
    }
    e2e::RemoveKestorFile("passive.csv");
    e2e::WriteKestorFile("iorsh.mem", iorsh);
    e2e::WriteKestorFile("memsh.mem", memsh);
}

// The copy rules go by the record's letter and its size as they stand, as
// the library's own write by index does: the tool's write and the agent's
// TolsaWriteVar of the same bytes leave the same record.
TEST_F(ToolTest, SetFollowsTheLibrarysCopyRulesWhenASizeDisagreesWithItsLetter) {
    const struct {
        int index;
        std::string size;  // the size field poked in, little-endian
        const char* value;
        std::string bytes;  // what the tool parses the value to
        std::string field;  // the value field's first bytes afterwards
    } cases[] = {
        // L with size 2: two bytes of the four go in, the rest stays.
        {0, std::string("\x02\x00\x00\x00", 4), "70000", std::string("\x70\x11\x01\x00", 4), "\x70\x11\xff\xff"},
        // $ with size 5: a string is copied by its terminator, not by size.
        {2, std::string("\x05\x00\x00\x00", 4), "a longer text", std::string("a longer text\0", 14),
         std::string("a longer text") + std::string(51, '\0')},
        // X with size 3: three bytes as hex.
        {8, std::string("\x03\x00\x00\x00", 4), "0a0B0c", "\x0a\x0b\x0c", "\x0a\x0b\x0c"},
        // B with size 0: nothing at all.
        {3, std::string(4, '\0'), "7", "\x07", "\xc8"},
    };
    for (const auto& c : cases) {
        const std::string original = RawRecords()[c.index];
        ASSERT_EQ(agent_->Send("poke " + std::to_string(c.index) + " 260 " + e2e::Encode(c.size)), "ok");
        const auto before = RawRecords();
        const auto result = RunTool({"set", "#" + std::to_string(c.index), c.value});
        EXPECT_EQ(result.status, 0) << c.value << ": " << result.err;
        const auto byTool = RawRecords();
        EXPECT_EQ(Hex(e2e::Unhex(byTool[c.index]).substr(264, c.field.size())), Hex(c.field)) << c.value;
        // The same bytes through the library, from the same starting record.
        ASSERT_EQ(agent_->Send("poke " + std::to_string(c.index) + " 0 " + e2e::Encode(e2e::Unhex(before[c.index]))), "ok");
        ASSERT_EQ(agent_->Call("TolsaWriteVar", {std::to_string(c.index), c.bytes}), "0");
        EXPECT_EQ(RawRecords(), byTool) << c.value;
        ASSERT_EQ(agent_->Send("poke " + std::to_string(c.index) + " 0 " + e2e::Encode(e2e::Unhex(original))), "ok");
    }
}

TEST_F(ToolTest, SetWritesTheParsedValueAndNothingElse) {
    const struct {
        const char* reference;
        std::string value;
        int index;
        std::string field;  // the value field's first bytes afterwards
    } cases[] = {
        {"IORSH_Counter", "-2147483648", 0, std::string("\x00\x00\x00\x80", 4)},
        {"#0", "0x7fffffff", 0, "\xff\xff\xff\x7f"},
        {"IORSH_Level", "-1.5e3", 1, std::string("\x00\x00\x00\x00\x00\x70\x97\xc0", 8)},
        // By index: the rest of the field is cleared, no old byte stays behind.
        {"#2", "hi there", 2, std::string("hi there") + std::string(56, '\0')},
        {"IORSH_Status", std::string(63, 'z'), 2, std::string(63, 'z') + std::string(1, '\0')},
        {"IORSH_Flag", "0", 3, std::string(1, '\0')},
        {"MEMSH_Mode", "+513", 4, "\x01\x02"},
        {"#5", "0XfFfF", 5, "\xff\xff"},
        {"MEMSH_Small", "255", 6, "\xff"},
        {"MEMSH_Old", "0x0a", 7, "\x0a"},
        {"MEMSH_Blob", "", 8, std::string(64, '\0')},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        if (!Sampled(i)) continue;
        const auto& c = cases[i];
        const auto before = RawRecords();
        const auto result = RunTool({"set", c.reference, c.value});
        EXPECT_EQ(result.status, 0) << c.reference << " " << c.value << ": " << result.err;
        EXPECT_EQ(result.out + result.err, "") << c.reference;
        const auto after = RawRecords();
        for (int i = 0; i < kRecords; ++i) {
            if (i != c.index) {
                EXPECT_EQ(after[i], before[i]) << c.reference << " changed record " << i;
                continue;
            }
            const std::string record = e2e::Unhex(after[i]);
            EXPECT_EQ(record.substr(0, 264), e2e::Unhex(before[i]).substr(0, 264)) << "name, type or size changed";
            EXPECT_EQ(Hex(record.substr(264, c.field.size())), Hex(c.field)) << c.reference << " " << c.value;
        }
    }
}

TEST_F(ToolTest, SetRefusesWhatDoesNotParseOrFitAndWritesNothing) {
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string err;
    } cases[] = {
        {{"IORSH_Nope", "1"}, 1, "tolsa: no variable named IORSH_Nope\n"},
        {{"iorsh_counter", "1"}, 1, "tolsa: no variable named iorsh_counter\n"},
        {{"#9", "1"}, 1, "tolsa: no variable at index 9 (there are 9: #0 to #8)\n"},
        {{"#-1", "1"}, 1, "tolsa: no variable at index -1 (there are 9: #0 to #8)\n"},
        {{"#1x", "1"}, 1, "tolsa: no variable at index 1x (there are 9: #0 to #8)\n"},
        {{"IORSH_Counter", "2147483648"}, 2,
         "tolsa: cannot set IORSH_Counter (type L): '2147483648' is out of range (-2147483648 to 2147483647)\n"},
        {{"#0", "-2147483649"}, 2,
         "tolsa: cannot set IORSH_Counter (type L): '-2147483649' is out of range (-2147483648 to 2147483647)\n"},
        {{"IORSH_Counter", "12abc"}, 2, "tolsa: cannot set IORSH_Counter (type L): '12abc' is not an integer\n"},
        {{"IORSH_Counter", ""}, 2, "tolsa: cannot set IORSH_Counter (type L): '' is not an integer\n"},
        {{"IORSH_Counter", "1.0"}, 2, "tolsa: cannot set IORSH_Counter (type L): '1.0' is not an integer\n"},
        {{"IORSH_Flag", "256"}, 2, "tolsa: cannot set IORSH_Flag (type B): '256' is out of range (0 to 255)\n"},
        {{"MEMSH_Small", "-1"}, 2, "tolsa: cannot set MEMSH_Small (type H): '-1' is out of range (0 to 255)\n"},
        {{"MEMSH_Word", "0x10000"}, 2,
         "tolsa: cannot set MEMSH_Word (type M): '0x10000' is out of range (0 to 65535)\n"},
        {{"IORSH_Level", "1e999"}, 2, "tolsa: cannot set IORSH_Level (type D): '1e999' is out of range for a double\n"},
        {{"IORSH_Level", "1.5.2"}, 2, "tolsa: cannot set IORSH_Level (type D): '1.5.2' is not a number\n"},
        {{"IORSH_Status", std::string(64, 'x')}, 2,
         "tolsa: cannot set IORSH_Status (type $): the text is 64 characters long; at most 63 fit\n"},
        {{"MEMSH_Blob", "00"}, 2, "tolsa: cannot set MEMSH_Blob (type X): '00': expected 0 bytes as 0 hex digits\n"},
    };
    const auto before = RawRecords();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        if (!Sampled(i)) continue;
        const auto& c = cases[i];
        std::vector<std::string> arguments = {"set"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const auto result = RunTool(arguments);
        EXPECT_EQ(result.status, c.status) << c.arguments[0] << " " << c.arguments[1];
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(RawRecords(), before) << c.arguments[0] << " " << c.arguments[1] << " wrote something";
    }
}

TEST_F(ToolTest, WatchPrintsPlainRefreshesWhenNotATerminal) {
    const std::string rows =
        "  0  IORSH_Counter  L   4  -42\n"
        "  1  IORSH_Level    D   8  2.5\n"
        "  2  IORSH_Status   $  63  ok\\x09running\n"
        "  3  IORSH_Flag     B   1  200\n";
    const auto result = RunTool({"watch", "IORSH_*", "--interval", "20", "--count", "3"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "refresh 1\n" + rows + "refresh 2\n" + rows + "refresh 3\n" + rows);
}

TEST_F(ToolTest, WatchMarksTheValuesThatChangedSinceTheRefreshBefore) {
    ToolProcess watch({"watch", "IORSH_[CL]*", "--interval=3000", "--count=2"});
    EXPECT_EQ(watch.ReadLine(), "refresh 1");
    EXPECT_EQ(watch.ReadLine(), "  0  IORSH_Counter  L  4  -42");
    EXPECT_EQ(watch.ReadLine(), "  1  IORSH_Level    D  8  2.5");
    // The watch now sleeps for 3 s: far longer than this one call takes.
    ASSERT_EQ(agent_->Call("TolsaWriteInt32", {"IORSH_Counter", "7"}), "0");
    const auto result = watch.Finish();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "refresh 2\n"
              "* 0  IORSH_Counter  L  4  7\n"
              "  1  IORSH_Level    D  8  2.5\n");
}

TEST_F(ToolTest, EverySubcommandHasHelpAndAWrongCommandLineExitsTwo) {
    const char* const commands[] = {"set", "list", "get", "watch", "dump", "info", "record", "replay"};
    for (std::size_t i = 0; i < std::size(commands); ++i) {
        if (!Sampled(i)) continue;
        const char* command = commands[i];
        const auto result = RunTool({command, "--help"});
        EXPECT_EQ(result.status, 0) << command;
        EXPECT_EQ(result.out.rfind(std::string("usage: tolsa ") + command, 0), 0u) << result.out;
    }
    const auto help = RunTool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: tolsa COMMAND", 0), 0u) << help.out;

    const struct {
        std::vector<std::string> arguments;
        const char* firstLine;
    } wrong[] = {
        {{"frobnicate"}, "tolsa: unknown command 'frobnicate'"},
        {{"set", "IORSH_Counter"}, "tolsa: set needs a variable and a value"},
        {{"watch", "--count", "0"}, "tolsa: --count takes a number from 1 on"},
        {{"dump", "--yaml"}, "tolsa: unknown option '--yaml'"},
        {{"record", "--count", "3"}, "tolsa: record needs --output FILE"},
        {{"record", "--output", "x.csv", "--count", "3", "--duration", "1"}, "tolsa: --duration and --count do not go together"},
        {{"replay", "x.csv", "IORSH_*"}, "tolsa: replay takes one FILE"},
        {{"replay", "x.csv", "--speed", "0"}, "tolsa: --speed takes a factor from 0.001 to 1000000"},
    };
    const auto before = RawRecords();
    for (const auto& c : wrong) {
        const auto result = RunTool(c.arguments);
        EXPECT_EQ(result.status, 2) << c.firstLine;
        EXPECT_EQ(result.err.substr(0, result.err.find('\n')), c.firstLine);
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(RawRecords(), before);
}

}  // namespace
}  // namespace tolsa::tooltest
