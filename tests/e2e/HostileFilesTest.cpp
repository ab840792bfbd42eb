// Definition files a careless or hostile user may leave in /kestor, read by
// the real library: each must give exactly the records the line rules give,
// the log lines that explain them, and never crash or hang the host.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <optional>

#include "AgentProcess.h"
#include "Records.h"

namespace tolsa::e2e {
namespace {

using namespace std::string_literals;

struct Expected {
    std::string name;  // full name
    char type;
    std::string logAfter = "";  // a line start-up writes right after the record's own
};

struct HostileCase {
    const char* what;
    std::string iorsh;
    std::string memsh;
    std::vector<Expected> records;
};

std::string Repeat(char c, std::size_t n) { return std::string(n, c); }

std::string Header(std::size_t afterIorsh, std::size_t total) {
    return kBanner + std::to_string(afterIorsh) + " variables after iorsh\n" + std::to_string(total) +
           " variables total\nwill allocate " + std::to_string(total * 328) + " bytes (328 per item)\nshared memory is ";
}

// Windows reads the files as text mode does, which ends them at the first
// Ctrl-Z; on Linux it is an ordinary byte, and declarations after it count.
std::vector<Expected> CtrlZRecords() {
    if (AgentIsWindows()) return {{"IORSH_A", 'L'}, {"MEMSH_C", 'D'}};
    return {{"IORSH_A", 'L'}, {"IORSH_B", 'W'}, {"MEMSH_C", 'D'}, {"MEMSH_E", 'B'}};
}

std::vector<HostileCase> Cases() {
    const std::string n249 = Repeat('N', 249);
    return {
        {"empty files", "", "", {}},
        {"comments only", "; note\n// A=L\n/A=L\n[A=L]\n\n", "[Section]\n;x=y\n", {}},
        {"CR LF", "A=L\r\nB=$\r\nF=\r\n", "C=W", {{"IORSH_A", 'L'}, {"IORSH_B", '$'}, {"IORSH_F", '\n'}, {"MEMSH_C", 'W'}}},
        {"CR only", "A=L\rB=W\r", "", {{"IORSH_A", 'L'}}},
        {"no final line end", "A=L\nB=W", "F=", {{"IORSH_A", 'L'}, {"IORSH_B", 'W'}, {"MEMSH_F", '\0'}}},
        {"line of 1023", "A=L" + Repeat(' ', 1020) + "\nB=W\n", "", {{"IORSH_A", 'L'}, {"IORSH_B", 'W'}}},
        {"line of 1024", "A=L" + Repeat(' ', 1021) + "\nB=W\n", "", {{"IORSH_A", 'L'}, {"IORSH_B", 'W'}}},
        {"line of 100000", "A=L" + Repeat('x', 99997) + "\nB=W\n", "", {{"IORSH_A", 'L'}, {"IORSH_B", 'W'}}},
        // A line is judged whole: the '=' far into a comment declares nothing.
        {"comment of 100000", ";" + Repeat('x', 99990) + "=L\nB=W\n", "", {{"IORSH_B", 'W'}}},
        {"name of 249", n249 + "=B\n", "", {{"IORSH_" + n249, 'B'}}},
        {"name of 250", n249 + "M=B\n", "", {{"IORSH_" + n249, 'B', "name of variable 0 cut to 249 characters\n"}}},
        {"name of 10000", Repeat('N', 10000) + "=D\nB=W\n", "",
         {{"IORSH_" + n249, 'D', "name of variable 0 cut to 249 characters\n"}, {"IORSH_B", 'W'}}},
        {"NUL bytes", "A\0=L\n\0B=L\nC=\0\nD=L\0junk\nE=W\n"s, "\0\0\0"s,
         {{"IORSH_C", '\0'}, {"IORSH_D", 'L'}, {"IORSH_E", 'W'}}},
        {"declared twice", "A=L\nA=W\nB=B\n", "A=D\nB=B\n",
         {{"IORSH_A", 'L'}, {"IORSH_A", 'W'}, {"IORSH_B", 'B'}, {"MEMSH_A", 'D'}, {"MEMSH_B", 'B'}}},
        {"Ctrl-Z", "A=L\r\n\x1A\r\nB=W\r\n", "C=D\x1A\nE=B\n", CtrlZRecords()},
    };
}

class HostileFiles : public testing::TestWithParam<HostileCase> {
protected:
    void SetUp() override {
        ASSERT_EQ(Isolation(), "");
        ClearKestor();
    }
};

TEST_P(HostileFiles, GivesExactlyTheRecordsAndLogLines) {
    const HostileCase& c = GetParam();
    WriteKestorFile("iorsh.mem", c.iorsh);
    WriteKestorFile("memsh.mem", c.memsh);
    Agent agent;
    const std::size_t total = c.records.size();
    std::size_t afterIorsh = 0;
    for (const auto& r : c.records) afterIorsh += r.name.rfind("IORSH_", 0) == 0;
    ASSERT_EQ(agent.Call("TolsaGetNumberOfItems"), std::to_string(total));

    std::string lines;
    for (std::size_t i = 0; i < total; ++i) {
        const Expected& e = c.records[i];
        const RawRecord record = ReadRecord(agent, static_cast<int32_t>(i));
        EXPECT_EQ(record.Name(), e.name) << i;
        EXPECT_EQ(record.Type(), e.type) << i;
        EXPECT_EQ(record.Size(), TypeCodeSize(e.type)) << i;
        EXPECT_EQ(record.Reserved(), std::string(3, '\0')) << i;
        // A name is found as its last declaration (no index growth with so few).
        std::size_t last = i;
        for (std::size_t j = i; j < total; ++j)
            if (c.records[j].name == e.name) last = j;
        EXPECT_EQ(agent.Call("TolsaGetIdentVarName", {e.name}), std::to_string(last)) << e.name;
        lines += std::to_string(i) + " " + e.name + " " + std::string(1, e.type) + " " +
                 std::to_string(TypeCodeSize(e.type)) + "\n" + e.logAfter;
    }
    const std::string log = ReadLog();
    const std::string header = Header(afterIorsh, total);
    ASSERT_EQ(log.substr(0, header.size()), header);
    if (total == 0) {
        EXPECT_EQ(log.substr(header.size()), "0000000000000000\n");
        EXPECT_EQ(agent.Call("TolsaGetPointer"), "null");
    } else {
        ASSERT_GE(log.size(), header.size() + 17);
        EXPECT_EQ(log.substr(header.size() + 17), lines);
    }
    EXPECT_EQ(agent.Send("ping"), "pong");
}

INSTANTIATE_TEST_SUITE_P(Table, HostileFiles, testing::ValuesIn(Cases()), [](const auto& info) {
    std::string name = info.param.what;
    for (char& ch : name)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
});

class HostileFile : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Isolation(), "");
        ClearKestor();
    }
    void TearDown() override { chmod("/kestor", 0755); }
};

// A cut name is found under its first 249 characters, never under the whole.
TEST_F(HostileFile, CutNameIsFoundOnlyAsCut) {
    WriteKestorFile("iorsh.mem", Repeat('N', 250) + "=B\n");
    WriteKestorFile("memsh.mem", "");
    Agent agent;
    EXPECT_EQ(agent.Call("IORShGetIdentVarName", {Repeat('N', 249)}), "0");
    EXPECT_EQ(agent.Call("IORShGetIdentVarName", {Repeat('N', 250)}), "-1");
    EXPECT_EQ(ReadRecord(agent, 0).bytes[255], '\0');
}

// Random bytes: whatever they declare is consistent and nothing breaks.
TEST_F(HostileFile, RandomBinary) {
    uint32_t random = 12345;
    auto bytes = [&random](std::size_t n) {
        std::string out;
        for (std::size_t i = 0; i < n; ++i) {
            random ^= random << 13;
            random ^= random >> 17;
            random ^= random << 5;
            out.push_back(static_cast<char>(random));
        }
        return out;
    };
    WriteKestorFile("iorsh.mem", bytes(65536));
    WriteKestorFile("memsh.mem", bytes(65536));
    Agent agent;
    const int32_t count = std::stoi(agent.Call("TolsaGetNumberOfItems"));
    const std::string log = ReadLog();
    int afterIorsh = -1, total = -1;
    ASSERT_EQ(std::sscanf(log.c_str(), (kBanner + "%d variables after iorsh\n%d variables total\n").c_str(), &afterIorsh, &total), 2);
    ASSERT_GT(count, 0);
    EXPECT_EQ(count, total);
    for (int32_t i = 0; i < count; ++i) {
        const RawRecord record = ReadRecord(agent, i);
        EXPECT_EQ(record.Name().substr(0, 6), i < afterIorsh ? "IORSH_" : "MEMSH_") << i;
        EXPECT_LE(record.Name().size(), 255u);
        EXPECT_EQ(record.Size(), TypeCodeSize(record.Type())) << i;
        EXPECT_EQ(record.Value(), std::string(64, '\0')) << i;
    }
    EXPECT_EQ(agent.Send("ping"), "pong");
}

TEST_F(HostileFile, MillionDeclarations) {
    // A tenth under wine, where writing the log line by line takes most of a minute.
    const int count = AgentIsWindows() ? 100000 : 1000000;
    std::string iorsh;
    for (int i = 0; i < count; ++i) iorsh += "V" + std::to_string(i) + "=B\n";
    WriteKestorFile("iorsh.mem", iorsh);
    WriteKestorFile("memsh.mem", "Last=D\n");
    Agent agent;
    ASSERT_EQ(agent.Call("TolsaGetNumberOfItems"), std::to_string(count + 1));
    for (int i : {0, 35, 36, count / 7, count - 1})
        EXPECT_EQ(agent.Call("IORShGetIdentVarName", {"V" + std::to_string(i)}), std::to_string(i));
    EXPECT_EQ(agent.Call("MemShGetIdentVarName", {"Last"}), std::to_string(count));
    const std::string lastName = "IORSH_V" + std::to_string(count - 1);
    ASSERT_EQ(agent.Call("TolsaWriteByte", {lastName, "7"}), "0");
    EXPECT_EQ(agent.Call("TolsaReadByte", {lastName}), "7");
    const std::string log = ReadLog();
    EXPECT_EQ(log.substr(0, Header(count, count + 1).size()), Header(count, count + 1));
    const std::string last = std::to_string(count - 1);
    EXPECT_NE(log.find("\n" + last + " IORSH_V" + last + " B 1\n" + std::to_string(count) + " MEMSH_Last D 8\n"),
              std::string::npos);
}

// A definition file that cannot be read as one: start-up logs where it failed
// and publishes nothing; calls fail as before start-up.
void ExpectOpenFailure(Agent& agent, const char* file) {
    EXPECT_EQ(agent.Call("TolsaGetNumberOfItems"), "0");
    EXPECT_EQ(agent.Call("TolsaGetPointer"), "null");
    EXPECT_EQ(ReadLog(), kBanner + "failed to open " + file + " file at /kestor/" + file + ".mem\n");
}

TEST_F(HostileFile, DirectoryOrFifoInsteadOfFile) {
    for (const char* file : {"iorsh", "memsh"}) {
        for (const char* kind : {"directory", "fifo"}) {
            SCOPED_TRACE(std::string(file) + " is a " + kind);
            ClearKestor();
            WriteKestorFile("iorsh.mem", "A=L\n");
            WriteKestorFile("memsh.mem", "B=L\n");
            const std::string path = "/kestor/"s + file + ".mem";
            unlink(path.c_str());
            if (kind == "directory"s) {
                ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
            } else {
                ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
            }
            Agent agent;
            if (kind == "fifo"s && AgentIsWindows()) {
                // Windows has no FIFOs; wine opens one as a file that reads as
                // empty at once, so only the other file declares anything.
                EXPECT_EQ(agent.Call("TolsaGetNumberOfItems"), "1");
                EXPECT_EQ(ReadLog().find("failed"), std::string::npos);
                continue;
            }
            ExpectOpenFailure(agent, file);
        }
    }
}

TEST_F(HostileFile, UnreadableFile) {
    // Root reads every file, so the agent runs as nobody; wine will not run as
    // another user in this prefix.
    if (AgentIsWindows()) GTEST_SKIP() << "needs the agent as another user, which the wine prefix does not allow";
    WriteKestorFile("iorsh.mem", "A=L\n");
    WriteKestorFile("memsh.mem", "B=L\n");
    ASSERT_EQ(chmod("/kestor/iorsh.mem", 0), 0);
    ASSERT_EQ(chmod("/kestor", 01777), 0);  // so that nobody may write the log
    Agent agent(AsNobody());
    ExpectOpenFailure(agent, "iorsh");
}

TEST_F(HostileFile, MoreDeclarationsThanTheLiveArea) {
    WriteKestorFile("iorsh.mem", "A=L\nB=L\n");
    WriteKestorFile("memsh.mem", "");
    Agent first;
    ASSERT_EQ(first.Call("TolsaWriteInt32", {"IORSH_B", "77"}), "0");
    std::string more;
    for (int i = 0; i < 30; ++i) more += "V" + std::to_string(i) + "=L\n";
    WriteKestorFile("iorsh.mem", "A=L\nB=L\n" + more);
    Agent second;
    const int32_t count = std::stoi(second.Call("TolsaGetNumberOfItems"));
    // The view of a Windows mapping covers whole pages: the records that fit
    // the 4096 bytes of the page are filled, the rest left out.
    const int32_t fits = AgentIsWindows() ? 4096 / 328 : 2;
    EXPECT_EQ(count, fits);
    EXPECT_EQ(second.Call("TolsaReadInt32", {"IORSH_B"}), "77");
    EXPECT_EQ(second.Call("IORShGetIdentVarName", {"V29"}), "-1");
    const std::string log = ReadLog();
    EXPECT_NE(log.find(std::to_string(32 - fits) + " declarations do not fit the shared area\n"), std::string::npos) << log;
    EXPECT_EQ(first.Call("TolsaGetNumberOfItems"), "2");
    EXPECT_EQ(first.Call("TolsaReadInt32", {"IORSH_B"}), "77");
}

}  // namespace
}  // namespace tolsa::e2e
