// Start-up and the shared area through the real library in real processes:
// the log of a start-up, the records as other programs see them, the area's
// lifetime across processes, missing definition files and the retry, a live
// area smaller than the declarations, over-long names, concurrent starts.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "AgentProcess.h"
#include "Records.h"

namespace tolsa::e2e {
namespace {

// The name field of a record in a new area: the name, then zeros.
std::string ZeroPadded(const std::string& name) { return name + std::string(256 - name.size(), '\0'); }

// The lines before the first record line, with the address the agent reports.
std::string LogHead(int afterIorsh, int total, const std::string& address) {
    return kBanner + std::to_string(afterIorsh) + " variables after iorsh\n" + std::to_string(total) +
           " variables total\nwill allocate " + std::to_string(total * 328) + " bytes (328 per item)\n" +
           "shared memory is " + address + "\n";
}

class Foundation : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Isolation(), "");
        ClearKestor();
    }
    void TearDown() override { ClearKestor(); }

    // The example files: two declarations in iorsh.mem (CR LF line ends) and
    // one among a section header and a comment in memsh.mem.
    static void WriteExampleFiles() {
        WriteKestorFile("iorsh.mem", "Speed=L\r\nName=$\r\n");
        WriteKestorFile("memsh.mem", "[Section]\n; note\nMode=W\n");
    }
};

TEST_F(Foundation, StartupLogsEveryStageAndFillsTheRecords) {
    // "Flag=" ends right at its CR LF: its letter is the line end, which
    // splits its log line in two.
    WriteKestorFile("iorsh.mem", "Speed=L\r\nName=$\r\nFlag=\r\n");
    WriteKestorFile("memsh.mem", "[Section]\n; note\nMode=W\n");
    Agent agent;
    EXPECT_EQ(agent.Call("TolsaGetNumberOfItems"), "4");
    EXPECT_EQ(agent.Call("TolsaGetItemSize"), "328");
    const std::string address = agent.Send("base");
    ASSERT_EQ(address.size(), 16u);
    ASSERT_EQ(address.find_first_not_of("0123456789ABCDEF"), std::string::npos) << address;
    ASSERT_NE(address, std::string(16, '0'));

    EXPECT_EQ(ReadLog(), LogHead(3, 4, address) +
                             "0 IORSH_Speed L 4\n"
                             "1 IORSH_Name $ 63\n"
                             "2 IORSH_Flag \n"
                             " 0\n"
                             "3 MEMSH_Mode W 2\n");

    struct Expected {
        const char* name;
        char type;
        int32_t size;
    };
    const Expected expected[] = {
        {"IORSH_Speed", 'L', 4}, {"IORSH_Name", '$', 63}, {"IORSH_Flag", '\n', 0}, {"MEMSH_Mode", 'W', 2}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const RawRecord record = ReadRecord(agent, i);
        ASSERT_EQ(record.bytes.size(), kRecordSize);
        EXPECT_EQ(record.NameField(), ZeroPadded(expected[i].name));
        EXPECT_EQ(record.Type(), expected[i].type);
        EXPECT_EQ(record.Reserved(), std::string(3, '\0'));
        EXPECT_EQ(record.Size(), expected[i].size);
        EXPECT_EQ(record.Value(), std::string(64, '\0'));
    }
}

TEST_F(Foundation, AreaLivesWhileAnyProcessMapsItAndStartsZeroedAfterwards) {
    WriteExampleFiles();
    std::optional<Agent> first(std::in_place);
    ASSERT_EQ(first->Call("TolsaWriteInt32", {"IORSH_Speed", "1234"}), "0");
    ASSERT_EQ(first->Call("TolsaWriteString", {"IORSH_Name", CString("hello")}), "0");
    ASSERT_EQ(first->Call("TolsaWriteVar", {"2", std::string("\x34\x12", 2)}), "0");

    // A second process opens the live area: same indices, same values; its
    // start-up rewrote the names but no value.
    std::optional<Agent> second(std::in_place);
    EXPECT_EQ(second->Call("TolsaGetIdentVarName", {"IORSH_Speed"}), "0");
    EXPECT_EQ(second->Call("TolsaGetIdentVarName", {"MEMSH_Mode"}), "2");
    EXPECT_EQ(second->Call("TolsaReadInt32", {"IORSH_Speed"}), "1234");

    // The creator ends; the area lives on in the second process, and a third
    // one still finds the values.
    EXPECT_EQ(first->Stop(), 0);
    first.reset();
    std::optional<Agent> third(std::in_place);
    EXPECT_EQ(third->Call("TolsaReadInt32", {"IORSH_Speed"}), "1234");
    EXPECT_EQ(OutBytes(third->Call("TolsaReadString", {"IORSH_Name"})), Marked(std::string("hello") + std::string(59, '\0')));
    EXPECT_EQ(ReadRecord(*third, 2).Value(), std::string("\x34\x12", 2) + std::string(62, '\0'));

    // Every process has ended: the next one gets a fresh, zeroed area.
    EXPECT_EQ(second->Stop(), 0);
    second.reset();
    EXPECT_EQ(third->Stop(), 0);
    third.reset();
    std::optional<Agent> fresh(std::in_place);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ReadRecord(*fresh, i).Value(), std::string(64, '\0')) << "record " << i;
    EXPECT_EQ(fresh->Call("TolsaReadInt32", {"IORSH_Speed"}), "0");

    // Also when the last process is killed and cannot clean up.
    ASSERT_EQ(fresh->Call("TolsaWriteInt32", {"IORSH_Speed", "99"}), "0");
    fresh->Kill();
    fresh.reset();
    Agent afterKill;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ReadRecord(afterKill, i).Value(), std::string(64, '\0')) << "record " << i;
}

TEST_F(Foundation, MissingDefinitionFilePublishesNothingUntilRetried) {
    struct Case {
        const char* missing;
        const char* failure;
    };
    const Case cases[] = {
        {"iorsh.mem", "failed to open iorsh file at /kestor/iorsh.mem\n"},
        {"memsh.mem", "failed to open memsh file at /kestor/memsh.mem\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.missing);
        ClearKestor();
        WriteExampleFiles();
        RemoveKestorFile(c.missing);
        const std::string failedLog = kBanner + c.failure;

        Agent agent;
        EXPECT_EQ(ReadLog(), failedLog);
        EXPECT_EQ(agent.Call("TolsaGetPointer"), "null");
        EXPECT_EQ(agent.Call("TolsaGetNumberOfItems"), "0");
        EXPECT_EQ(agent.Call("TolsaGetItemSize"), "328");
        EXPECT_EQ(agent.Send("base"), std::string(16, '0'));

        // Each retry starts over and rewrites the log: removing it shows
        // whether an attempt ran.
        RemoveKestorFile("tolsa_log.txt");
        if (AgentIsWindows()) {
            // Retried by the load notifications only: a call does not, a
            // thread start does.
            EXPECT_EQ(agent.Call("TolsaGetNumberOfItems"), "0");
            EXPECT_EQ(ReadKestorFile("tolsa_log.txt"), "");
            EXPECT_EQ(agent.Send("thread"), "ok");
        } else {
            // Retried by every exported call while nothing is published.
            EXPECT_EQ(agent.Call("TolsaGetNumberOfItems"), "0");
        }
        EXPECT_EQ(ReadLog(), failedLog);

        WriteExampleFiles();
        if (AgentIsWindows()) {
            EXPECT_EQ(agent.Call("TolsaGetNumberOfItems"), "0");
            EXPECT_EQ(agent.Call("TolsaGetPointer"), "null");
            EXPECT_EQ(agent.Send("thread"), "ok");
        }
        EXPECT_EQ(agent.Call("TolsaGetNumberOfItems"), "3");
        EXPECT_EQ(agent.Call("TolsaGetPointer"), "+0");
        EXPECT_EQ(agent.Call("TolsaGetIdentVarName", {"MEMSH_Mode"}), "2");
        EXPECT_EQ(ReadLog(), LogHead(2, 3, agent.Send("base")) + "0 IORSH_Speed L 4\n1 IORSH_Name $ 63\n2 MEMSH_Mode W 2\n");
    }
}

TEST_F(Foundation, DeclarationsBeyondTheLiveAreaAreLeftOut) {
    // The first process makes an area of 2 records, 656 bytes.
    WriteKestorFile("iorsh.mem", "Speed=L\n");
    WriteKestorFile("memsh.mem", "Mode=W\n");
    Agent small;
    ASSERT_EQ(small.Call("TolsaWriteVar", {"1", std::string("\x07\x00", 2)}), "0");

    // A second one declares 14 while it is alive.
    std::string memsh = "Mode=W\n";
    for (int i = 2; i < 14; ++i) memsh += "V" + std::to_string(i) + "=L\n";
    WriteKestorFile("memsh.mem", memsh);
    Agent large;

    // Only the records inside the mapped area are filled. Linux maps the
    // object at its real size, 656 bytes: 2 records. A Windows view of an
    // existing mapping is as large as its pages, 4096 bytes: 12 whole records.
    const int fits = AgentIsWindows() ? 12 : 2;
    EXPECT_EQ(large.Call("TolsaGetNumberOfItems"), std::to_string(fits));
    std::string records = "0 IORSH_Speed L 4\n1 MEMSH_Mode W 2\n";
    for (int i = 2; i < fits; ++i) records += std::to_string(i) + " MEMSH_V" + std::to_string(i) + " L 4\n";
    EXPECT_EQ(ReadLog(), LogHead(1, 14, large.Send("base")) + records + std::to_string(14 - fits) +
                             " declarations do not fit the shared area\n");

    // Left-out declarations are not indexed; the records that fit keep their
    // values.
    EXPECT_EQ(large.Call("TolsaGetIdentVarName", {"MEMSH_V" + std::to_string(fits - 1)}),
              fits > 2 ? std::to_string(fits - 1) : "-1");
    EXPECT_EQ(large.Call("TolsaGetIdentVarName", {"MEMSH_V" + std::to_string(fits)}), "-1");
    EXPECT_EQ(large.Call("TolsaGetIdentVarName", {"MEMSH_V13"}), "-1");
    EXPECT_EQ(ReadRecord(large, 1).Value(), std::string("\x07\x00", 2) + std::string(62, '\0'));
    EXPECT_EQ(small.Call("TolsaGetNumberOfItems"), "2");
    EXPECT_EQ(ReadRecord(small, 1).NameField(), ZeroPadded("MEMSH_Mode"));
}

TEST_F(Foundation, OverlongNameIsCutTo249Characters) {
    const std::string fits(249, 'a');
    const std::string overlong = std::string(249, 'b') + std::string(51, 'c');
    WriteKestorFile("iorsh.mem", fits + "=L\n" + overlong + "=D\n");
    WriteKestorFile("memsh.mem", "Mode=W\n");
    Agent agent;

    const std::string cut = "IORSH_" + std::string(249, 'b');
    EXPECT_EQ(ReadLog(), LogHead(2, 3, agent.Send("base")) + "0 IORSH_" + fits + " L 4\n1 " + cut +
                             " D 8\nname of variable 1 cut to 249 characters\n2 MEMSH_Mode W 2\n");
    EXPECT_EQ(ReadRecord(agent, 0).NameField(), "IORSH_" + fits + '\0');
    const RawRecord record = ReadRecord(agent, 1);
    EXPECT_EQ(record.NameField(), cut + '\0');
    EXPECT_EQ(record.Type(), 'D');
    EXPECT_EQ(record.Size(), 8);
    EXPECT_EQ(agent.Call("TolsaGetIdentVarName", {cut}), "1");
    EXPECT_EQ(agent.Call("TolsaGetIdentVarName", {"MEMSH_Mode"}), "2");
}

// Starts two agents at the same moment; each makes one call as soon as it is
// up, and the two answers must be "0".
void StartTogether(std::optional<Agent>& a, std::optional<Agent>& b, const std::vector<std::string>& callA,
                   const std::vector<std::string>& callB) {
    std::string answerA, answerB;
    // An exception must not leave a thread: it would end the whole driver.
    auto start = [](std::optional<Agent>& agent, const std::vector<std::string>& call, std::string& answer) {
        try {
            agent.emplace();
            answer = agent->Call(call[0], {call.begin() + 1, call.end()});
        } catch (const std::exception& e) {
            answer = e.what();
        }
    };
    std::thread threadA(start, std::ref(a), std::cref(callA), std::ref(answerA));
    std::thread threadB(start, std::ref(b), std::cref(callB), std::ref(answerB));
    threadA.join();
    threadB.join();
    ASSERT_EQ(answerA, "0");
    ASSERT_EQ(answerB, "0");
}

TEST_F(Foundation, ProcessesStartingTogetherNeverResetTheArea) {
    WriteExampleFiles();
    // Two processes create the area at once; each writes as soon as it is up,
    // which a late reset by the other would wipe.
    std::optional<Agent> a, b;
    StartTogether(a, b, {"TolsaWriteInt32", "IORSH_Speed", "4321"}, {"TolsaWriteVar", "2", std::string("\x05\x00", 2)});
    ASSERT_FALSE(HasFatalFailure());
    // Two more join the live area at once.
    std::optional<Agent> c, d;
    StartTogether(c, d, {"TolsaWriteString", "IORSH_Name", CString("from c")}, {"TolsaOpen"});
    ASSERT_FALSE(HasFatalFailure());

    for (Agent* agent : {&*a, &*b, &*c, &*d}) {
        EXPECT_EQ(agent->Call("TolsaReadInt32", {"IORSH_Speed"}), "4321");
        EXPECT_EQ(ReadRecord(*agent, 1).Value().substr(0, 7), std::string("from c\0", 7));
        EXPECT_EQ(ReadRecord(*agent, 2).Value().substr(0, 2), std::string("\x05\x00", 2));
    }
}

}  // namespace
}  // namespace tolsa::e2e
