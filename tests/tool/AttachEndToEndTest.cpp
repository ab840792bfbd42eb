// The tool as a passive inspector, against areas each test makes for itself:
// no area (never made, or left by every process), names declared twice,
// record and replay end to end, and replay's refusals. Natively, and as
// tolsa.exe with the Windows agent under wine.

#include <dirent.h>
#include <pty.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../e2e/AgentProcess.h"
#include "ToolProcess.h"

namespace tolsa::tooltest {
namespace {

using e2e::Agent;

const std::string kNoArea = "tolsa: no process has the variables mapped (no shared area \"tolsavariables\")\n";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Every file the library could make or change: all of /kestor, and the
// area's objects in /dev/shm (wine keeps files of its own there), by content.
std::map<std::string, std::string> Snapshot() {
    std::map<std::string, std::string> files;
    for (const char* directory : {"/kestor", "/dev/shm"}) {
        DIR* dir = opendir(directory);
        if (dir == nullptr) continue;
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            if (std::string(directory) == "/dev/shm" && name.rfind("tolsa", 0) != 0) continue;
            const std::string path = std::string(directory) + "/" + name;
            files[path] = ReadFile(path);
        }
        closedir(dir);
    }
    return files;
}

// The rows of a file record wrote, each without its CR LF (values may hold
// a lone LF), and without the time: what the variables held.
std::vector<std::string> Values(const std::string& path) {
    std::vector<std::string> rows;
    const std::string text = ReadFile(path);
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
        const std::string row = text.substr(at, end - at);
        rows.push_back(row.substr(row.find(',') + 1));
    }
    return rows;
}

std::size_t Rows(const std::string& path) { return Values(path).size(); }

// Waits until the file has `rows` lines (the header included), at most 30 s.
bool WaitForRows(const std::string& path, std::size_t rows) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Rows(path) < rows) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool Wine() {
    const std::string program = ToolProgram();
    return program.size() > 4 && program.compare(program.size() - 4, 4, ".exe") == 0;
}

class AttachTest : public testing::Test {
protected:
    void SetUp() override {
        const std::string why = e2e::Isolation();
        if (!why.empty()) GTEST_SKIP() << why;
        e2e::ClearKestor();
        e2e::WriteKestorFile("iorsh.mem", "Counter=L\nLevel=D\nStatus=$\n");
        e2e::WriteKestorFile("memsh.mem", "Flag=B\n");
    }
    void TearDown() override {
        agent_.reset();
        e2e::ClearKestor();
    }
    void Start() {
        agent_ = std::make_unique<Agent>();
        ASSERT_EQ(agent_->Call("TolsaGetNumberOfItems"), "4");
    }
    // The agent's view of a variable's value bytes.
    std::string Value(int index, std::size_t size) {
        return e2e::Unhex(agent_->Send("raw " + std::to_string(index))).substr(264, size);
    }

    std::unique_ptr<Agent> agent_;
};

TEST_F(AttachTest, WithNoAreaEverySubcommandExitsThreeAndCreatesNothing) {
    WriteFile("/kestor/in.csv", "time,IORSH_Counter\n2026-12-10T14:00:00Z,1\n");
    const std::vector<std::vector<std::string>> runs = {
        {"list"}, {"get", "IORSH_Counter"}, {"set", "IORSH_Counter", "1"}, {"watch", "--count", "1"}, {"dump"},
        {"info"}, {"record", "--output", "/kestor/out.csv", "--count", "1"}, {"replay", "/kestor/in.csv"},
    };
    // First no process ever made the area; then the one that did was killed,
    // which on Linux leaves the object behind with nobody holding it.
    for (const bool left : {false, true}) {
        if (left) {
            Start();
            ASSERT_EQ(agent_->Call("TolsaWriteInt32", {"IORSH_Counter", "77"}), "0");
            agent_->Kill();
        }
        const auto before = Snapshot();
        for (std::size_t i = 0; i < runs.size(); ++i) {
            if (Wine() && i % 2 != left) continue;  // each wine start costs a second
            const auto result = RunTool(runs[i]);
            EXPECT_EQ(result.status, 3) << runs[i][0] << (left ? " (left)" : "");
            EXPECT_EQ(result.err, kNoArea) << runs[i][0];
            EXPECT_EQ(Snapshot(), before) << runs[i][0] << " created or changed a file";
        }
        if (left && !e2e::AgentIsWindows()) {
            // Neither read nor reset: the stale object keeps its values for the next starter to reset.
            const std::string area = before.at("/dev/shm/tolsavariables");
            ASSERT_EQ(area.size(), 4u * 328);
            EXPECT_EQ(area.substr(264, 4), std::string("\x4d\x00\x00\x00", 4));
        }
    }
}

// The tool's own index is built as start-up builds it, so a name declared
// twice finds the record the agent finds: the later one, or the earlier one
// where the index grew in between.
TEST_F(AttachTest, ANameDeclaredTwiceResolvesAsInTheProcessThatFilledTheArea) {
    std::string iorsh;
    std::vector<std::string> twice;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "V" + std::to_string(i % 20);  // V0..V19, each twice
        iorsh += name + "=L\n";
        if (i < 20) twice.push_back("IORSH_" + name);
    }
    e2e::WriteKestorFile("iorsh.mem", iorsh);
    e2e::WriteKestorFile("memsh.mem", "");
    agent_ = std::make_unique<Agent>();
    int earlier = 0, later = 0;
    for (std::size_t k = 0; k < twice.size(); ++k) {
        const int found = std::stoi(agent_->Call("TolsaGetIdentVarName", {twice[k]}));
        (found < 20 ? earlier : later)++;
        if (Wine() && k % 4 != 0) continue;
        const auto result = RunTool({"set", twice[k], std::to_string(1000 + k)});
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(agent_->Call("TolsaReadInt32", {twice[k]}), std::to_string(1000 + k)) << twice[k];
        EXPECT_EQ(Value(found < 20 ? found + 20 : found - 20, 4), std::string(4, '\0')) << "the other record of " << twice[k];
    }
    // The fixture holds both kinds, so a plain "the last one wins" would fail.
    EXPECT_GT(earlier, 0);
    EXPECT_GT(later, 0);
}

TEST_F(AttachTest, ReplayPlaysARecordingThroughTheSameSequenceIntoAFreshArea) {
    Start();
    ASSERT_EQ(agent_->Call("TolsaWriteInt32", {"IORSH_Counter", "-1"}), "0");
    const std::string first = "/kestor/first.csv", second = "/kestor/second.csv";
    const std::string quoted = "a, \"quoted\"\nline";
    // One variable per step, so that no sample can fall between two writes.
    const std::vector<std::pair<std::string, std::vector<std::string>>> steps = {
        {"TolsaWriteInt32", {"IORSH_Counter", "1"}}, {"TolsaWriteVar", {"2", e2e::CString(quoted)}},
        {"TolsaWriteDouble", {"IORSH_Level", "0.1"}}, {"TolsaWriteInt32", {"IORSH_Counter", "3"}},
        {"TolsaWriteVar", {"2", e2e::CString("")}}, {"TolsaWriteInt32", {"IORSH_Counter", "-2147483648"}},
    };
    {
        ToolProcess record({"record", "--output", first, "--changes", "--count", "7", "--interval", "10"});
        ASSERT_TRUE(WaitForRows(first, 2));
        for (std::size_t k = 0; k < steps.size(); ++k) {
            ASSERT_EQ(agent_->Call(steps[k].first, steps[k].second), "0");
            ASSERT_TRUE(WaitForRows(first, 3 + k)) << "step " << k;
        }
        const auto result = record.Finish();
        EXPECT_EQ(result.status, 0) << result.err;
    }
    const std::string text = "\"a, \"\"quoted\"\"\nline\"";
    const auto recorded = Values(first);
    ASSERT_EQ(recorded, (std::vector<std::string>{"IORSH_Counter,IORSH_Level,IORSH_Status,MEMSH_Flag", "-1,0,,0",
                                                  "1,0,,0", "1,0," + text + ",0", "1,0.1," + text + ",0",
                                                  "3,0.1," + text + ",0", "3,0.1,,0", "-2147483648,0.1,,0"}));

    // A fresh area: the only holder ends, the next starter resets it.
    ASSERT_EQ(agent_->Stop(), 0);
    Start();
    ToolProcess record({"record", "--output", second, "--changes", "--count", "8", "--interval", "10"});
    ASSERT_TRUE(WaitForRows(second, 2));
    // Slowed down, so that every row stays long enough for 10 ms samples.
    const auto replay = RunTool({"replay", first, "--speed", "0.2"});
    EXPECT_EQ(replay.status, 0) << replay.err;
    ASSERT_TRUE(WaitForRows(second, 9)) << ReadFile(second);
    EXPECT_EQ(record.Finish().status, 0);
    auto played = Values(second);
    EXPECT_EQ(played[1], "0,0,,0");  // the fresh area before the replay
    played.erase(played.begin() + 1);
    EXPECT_EQ(played, recorded);
}

TEST_F(AttachTest, RecordingEndsCleanlyOnInterruptAndStopsWithThreeWhenTheAreaIsLeft) {
    Start();
    const std::string file = "/kestor/run.csv";
    // Ctrl-C and SIGTERM reach a native program only.
    for (const int signal : {SIGINT, SIGTERM}) {
        if (Wine()) break;
        unlink(file.c_str());
        ToolProcess record({"record", "--output", file, "--interval", "1"});
        ASSERT_TRUE(WaitForRows(file, 20));
        record.Signal(signal);
        const auto result = record.Finish();
        EXPECT_EQ(result.status, 0) << result.err;
        const std::string text = ReadFile(file);
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
        for (const auto& row : Values(file)) EXPECT_EQ(std::count(row.begin(), row.end(), ','), 3) << row;
    }
    unlink(file.c_str());
    ToolProcess record({"record", "--output", file, "--interval", "5"});
    ASSERT_TRUE(WaitForRows(file, 3));
    agent_->Kill();
    const auto result = record.Finish();
    EXPECT_EQ(result.status, 3);
    EXPECT_NE(result.err.find("tolsa: no other process has the variables mapped any more"), std::string::npos)
        << result.err;
    const std::string text = ReadFile(file);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_GE(Rows(file), 3u);
}

// Runs the native tool on a pseudo-terminal and returns all it wrote there.
std::string OnTerminal(const std::vector<std::string>& arguments, int& status) {
    std::vector<std::string> words = {ToolProgram()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<std::size_t>(n));
    close(terminal);
    waitpid(pid, &status, 0);
    status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

TEST_F(AttachTest, OnATerminalRecordAndReplayRedrawAStatusLine) {
    if (Wine()) GTEST_SKIP() << "a pseudo-terminal is not a console under wine";
    Start();
    const std::string file = "/kestor/tty.csv";
    int status = -1;
    std::string out = OnTerminal({"record", "--output", file, "--count", "3", "--interval", "300"}, status);
    EXPECT_EQ(status, 0) << out;
    // Redrawn in place: a carriage return, the status, the rest of the line cleared.
    EXPECT_NE(out.find("\rtolsa record: 1 row, 0 s, "), std::string::npos) << out;
    EXPECT_NE(out.find("\rtolsa record: 3 rows in " + file + "\x1b[K"), std::string::npos) << out;
    out = OnTerminal({"replay", file}, status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("\rtolsa replay: 3 rows played of 3, next none (Ctrl-C stops)\x1b[K"), std::string::npos) << out;
}

// --loop starts over after the last row until Ctrl-C, which stops between rows.
TEST_F(AttachTest, ReplayLoopsUntilInterrupted) {
    if (Wine()) GTEST_SKIP() << "Ctrl-C reaches a native program only";
    Start();
    const std::string file = "/kestor/loop.csv", seen = "/kestor/seen.csv";
    WriteFile(file, "time,IORSH_Counter\n2026-12-10T14:00:00Z,1\n2026-12-10T14:00:00.1Z,2\n2026-12-10T14:00:00.2Z,3\n");
    ToolProcess record({"record", "IORSH_Counter", "--output", seen, "--changes", "--count", "8", "--interval", "5"});
    ASSERT_TRUE(WaitForRows(seen, 2));
    ToolProcess replay({"replay", file, "--loop"});
    ASSERT_TRUE(WaitForRows(seen, 9)) << ReadFile(seen);
    EXPECT_EQ(record.Finish().status, 0);
    replay.Signal(SIGINT);
    const auto result = replay.Finish();
    EXPECT_EQ(result.status, 0) << result.err;
    const auto values = Values(seen);
    EXPECT_EQ(std::vector<std::string>(values.begin() + 2, values.end()),
              (std::vector<std::string>{"1", "2", "3", "1", "2", "3", "1"}));
}

TEST_F(AttachTest, ReplayChecksTheWholeFileFirstAndWritesNothingOnAnError) {
    Start();
    ASSERT_EQ(agent_->Call("TolsaWriteInt32", {"IORSH_Counter", "-1"}), "0");
    const std::string file = "/kestor/bad.csv";
    const std::string head = "time,IORSH_Counter,MEMSH_Flag\n", good = "2026-12-10T14:00:00Z,5,1\n";
    const struct {
        std::string text;
        int status;
        std::string err;
    } cases[] = {
        {"time,IORSH_Counter,IORSH_Nope\n" + good, 1, "line 1, column 3 (IORSH_Nope): no variable has this name"},
        {head + good + "2026-12-10T14:00:01Z,abc,1\n", 2, "line 3, column 2 (IORSH_Counter): 'abc' is not an integer"},
        {head + good + "2026-12-10T14:00:01Z,1,256\n", 2,
         "line 3, column 3 (MEMSH_Flag): '256' is out of range (0 to 255)"},
        {head + good + "2026-12-10T14:00:01Z,\"7,1\n", 2, "line 3: a quoted field is not closed"},
        {head + good + "2026-12-10T14:00:01Z,7\n", 2, "line 3: 2 fields where the header has 3"},
        {head + "2026-12-10T14:00:01Z,7,1,\n", 2, "line 2: 4 fields where the header has 3"},
        {head + "2026-12-10T14:00:01Z,7\"x\",1\n", 2, "line 2: a quote inside a field that does not start with one"},
        {head + "yesterday,7,1\n", 2, "line 2, column 1 (time): 'yesterday' is not an ISO 8601 time with its zone"},
        {head + good + "2026-12-10T13:59:59Z,7,1\n", 2, "line 3, column 1 (time): goes back before the row above"},
        {"when,IORSH_Counter\n" + good, 2, "line 1: the first column must be 'time', not 'when'"},
        {"", 2, ": no header row"},
    };
    const auto before = agent_->Send("raw 0") + agent_->Send("raw 3");
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        if (Wine() && i % 3 != 0) continue;
        WriteFile(file, cases[i].text);
        const auto result = RunTool({"replay", file});
        EXPECT_EQ(result.status, cases[i].status) << cases[i].err;
        const std::string separator = cases[i].err[0] == ':' ? "" : ", ";
        EXPECT_EQ(result.err, "tolsa: " + file + separator + cases[i].err + "\n");
        EXPECT_EQ(agent_->Send("raw 0") + agent_->Send("raw 3"), before) << cases[i].err;
    }
    const auto missing = RunTool({"replay", "/kestor/none.csv"});
    EXPECT_EQ(missing.status, 4);
    EXPECT_EQ(missing.err, "tolsa: cannot read /kestor/none.csv\n");
}

TEST_F(AttachTest, ReplayReadsCsvFromOtherProgramsAndPlaysOnlyTheColumnsAsked) {
    Start();
    const std::string file = "/kestor/other.csv";
    // A byte order mark, CR LF, quoted names and values, a time with an offset.
    WriteFile(file,
              "\xEF\xBB\xBF\"time\",\"IORSH_Counter\",\"IORSH_Status\",IORSH_Level,NotAVariable\r\n"
              "2026-12-10T15:00:00+01:00,\"42\",\"x, \"\"y\"\"\r\nz\",1e3,junk\r\n");
    auto result = RunTool({"replay", file, "--only", "IORSH_C*", "IORSH_S*"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Value(0, 4), std::string("\x2a\x00\x00\x00", 4));
    EXPECT_EQ(Value(2, 64), "x, \"y\"\r\nz" + std::string(55, '\0'));
    EXPECT_EQ(Value(1, 8), std::string(8, '\0'));  // not asked for
    // Without --only every column must be a variable.
    result = RunTool({"replay", file});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "tolsa: " + file + ", line 1, column 5 (NotAVariable): no variable has this name\n");
}

}  // namespace
}  // namespace tolsa::tooltest
