// The first exchange through the real library: the example files of the
// documentation, one process writing and another reading.

#include <gtest/gtest.h>

#include "AgentProcess.h"

namespace tolsa::e2e {
namespace {

class StartupSmoke : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Isolation(), "");
        ClearKestor();
        WriteKestorFile("iorsh.mem", "Speed=L\nName=$\n");
        WriteKestorFile("memsh.mem", "[Section]\n; note\nMode=W\n");
    }
};

TEST_F(StartupSmoke, LogsEveryStageAndRecord) {
    Agent agent;
    EXPECT_EQ(agent.Call("TolsaGetNumberOfItems"), "3");
    const std::string log = ReadLog();
    const std::string head =
        "tolsa v4.0.0\n2 variables after iorsh\n3 variables total\nwill allocate 984 bytes (328 per item)\nshared memory is ";
    ASSERT_EQ(log.substr(0, head.size()), head);
    const std::string tail = "0 IORSH_Speed L 4\n1 IORSH_Name $ 63\n2 MEMSH_Mode W 2\n";
    EXPECT_EQ(log.substr(head.size() + 17), tail);
}

TEST_F(StartupSmoke, SecondProcessSeesValues) {
    Agent writer;
    ASSERT_EQ(writer.Call("TolsaWriteInt32", {"IORSH_Speed", "1234"}), "0");
    Agent reader;
    EXPECT_EQ(reader.Call("TolsaReadInt32", {"IORSH_Speed"}), "1234");
    EXPECT_EQ(reader.Call("IORShGetIdentVarName", {"Speed"}), "0");
}

}  // namespace
}  // namespace tolsa::e2e
