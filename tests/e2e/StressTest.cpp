// Several processes, each with several threads, read and write every kind of
// variable by every route at once while one of them is killed with SIGKILL.
// The agent's "stress" command (AgentReliability.cpp) does the work and counts
// what it sees wrong; this side checks the area afterwards.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "AgentProcess.h"
#include "Records.h"

namespace tolsa::e2e {
namespace {

constexpr char kIorsh[] = "B0=B\nB1=B\nH0=H\nO0=O\nM0=M\nW0=W\nL0=L\nL1=L\nD0=D\nS0=$\nS1=$\nX0=X\n";
constexpr char kMemsh[] = "B0=B\nO0=O\nW0=W\nL0=L\nD0=D\nS0=$\nQ0=Q\n";

struct Shape {
    int processes;
    int threads;
    double seconds;
};

// Shorter under wine, where each process and each call costs far more.
// Three processes at least: one is killed and two survivors exchange values.
Shape StressShape() { return AgentIsWindows() ? Shape{3, 2, 1.5} : Shape{3, 4, 2.5}; }

// A byte that thread 1..threads of process 1..processes writes.
bool Written(unsigned char byte, const Shape& shape) {
    const int process = byte >> 4, thread = byte & 15;
    return process >= 1 && process <= shape.processes && thread >= 1 && thread <= shape.threads;
}

// What every value field must look like whatever the interleaving was.
void ExpectValueIntact(const RawRecord& record, const Shape& shape) {
    const std::string value = record.Value();
    const std::size_t used = record.Type() == '$' ? 64 : static_cast<std::size_t>(record.Size());
    for (std::size_t i = 0; i < 64; ++i) {
        const auto byte = static_cast<unsigned char>(value[i]);
        if (i < used && (byte == 0 || Written(byte, shape))) continue;
        EXPECT_EQ(byte, 0) << record.Name() << " byte " << i;
    }
    if (record.Type() == '$') {
        EXPECT_EQ(value[63], '\0') << record.Name();
    }
    if (record.Size() == 1) {
        EXPECT_TRUE(Written(static_cast<unsigned char>(value[0]), shape)) << record.Name();
    }
}

TEST(Stress, ManyProcessesAndThreadsWithOneKilled) {
    ASSERT_EQ(Isolation(), "");
    ClearKestor();
    WriteKestorFile("iorsh.mem", kIorsh);
    WriteKestorFile("memsh.mem", kMemsh);
    const Shape shape = StressShape();

    std::vector<std::unique_ptr<Agent>> agents;
    for (int p = 0; p < shape.processes; ++p) agents.push_back(std::make_unique<Agent>());
    Agent& first = *agents.front();
    const int32_t count = std::stoi(first.Call("TolsaGetNumberOfItems"));
    ASSERT_EQ(count, 19);
    std::vector<std::string> layout;  // name, type, reserved and size of every record
    for (int32_t i = 0; i < count; ++i) layout.push_back(ReadRecord(first, i).bytes.substr(0, 264));

    for (int p = 0; p < shape.processes; ++p)
        ASSERT_EQ(agents[p]->Send("stress " + std::to_string(shape.seconds) + " " + std::to_string(p + 1) + " " +
                                  std::to_string(shape.threads)),
                  "started");
    std::this_thread::sleep_for(std::chrono::duration<double>(shape.seconds / 2));
    agents.back()->Kill();
    agents.pop_back();

    for (auto& agent : agents) {
        const std::string result = agent->Send("stress-result");
        EXPECT_NE(result.find(" bad=0"), std::string::npos) << result;
        EXPECT_EQ(result.find("ops=0 "), std::string::npos) << result;
        std::printf("stress: %s\n", result.c_str());
    }

    for (int32_t i = 0; i < count; ++i) {
        const RawRecord record = ReadRecord(first, i);
        EXPECT_EQ(record.bytes.substr(0, 264), layout[static_cast<std::size_t>(i)]) << "record " << i;
        ExpectValueIntact(record, shape);
    }

    // The survivors still exchange values, with each other and with a newcomer.
    Agent& second = *agents[1];
    ASSERT_EQ(first.Call("TolsaWriteInt32", {"IORSH_L1", "-123456"}), "0");
    EXPECT_EQ(second.Call("TolsaReadInt32", {"IORSH_L1"}), "-123456");
    {
        Agent newcomer;
        EXPECT_EQ(newcomer.Call("MemShGetIdentVarName", {"S0"}), "17");
        EXPECT_EQ(newcomer.Call("TolsaReadInt32", {"IORSH_L1"}), "-123456");
    }

    agents.clear();
    Agent fresh;
    ASSERT_EQ(fresh.Call("TolsaGetNumberOfItems"), "19");
    for (int32_t i = 0; i < count; ++i)
        EXPECT_EQ(ReadRecord(fresh, i).Value(), std::string(64, '\0')) << "record " << i << " of the new area";
}

}  // namespace
}  // namespace tolsa::e2e
