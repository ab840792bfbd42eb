// What the library must not give away inside its host: a log written through
// a planted link, descriptors inherited by the host's children, an area that
// another user can open. These are properties of the Linux build; the DLL
// keeps the default security of the creating user and inherits no handles by
// construction (no security attributes, 'N' streams), which wine cannot show.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AgentProcess.h"
#include "Records.h"

namespace tolsa::e2e {
namespace {

class Security : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Isolation(), "");
        if (AgentIsWindows()) GTEST_SKIP() << "Linux descriptors, links and file modes";
        ClearKestor();
        WriteKestorFile("iorsh.mem", "A=L\n");
        WriteKestorFile("memsh.mem", "B=$\n");
    }
    void TearDown() override { chmod("/kestor", 0755); }
};

TEST_F(Security, LogIsNeverWrittenThroughALink) {
    struct Link {
        const char* what;
        bool targetExists;
    };
    for (const Link link : {Link{"link to a file", true}, Link{"dangling link", false}}) {
        SCOPED_TRACE(link.what);
        RemoveKestorFile("tolsa_log.txt");
        RemoveKestorFile("target.txt");
        if (link.targetExists) WriteKestorFile("target.txt", "precious\n");
        ASSERT_EQ(symlink("/kestor/target.txt", "/kestor/tolsa_log.txt"), 0);
        Agent agent;
        // Start-up goes on without a log.
        EXPECT_EQ(agent.Call("TolsaGetNumberOfItems"), "2");
        EXPECT_EQ(agent.Call("TolsaReadVarName", {"IORSH_missing"}).substr(0, 2), "-3");
        struct stat status {};
        if (link.targetExists) {
            EXPECT_EQ(ReadKestorFile("target.txt"), "precious\n");
        } else {
            EXPECT_NE(lstat("/kestor/target.txt", &status), 0) << "the log was created through the link";
        }
        ASSERT_EQ(lstat("/kestor/tolsa_log.txt", &status), 0);
        EXPECT_TRUE(S_ISLNK(status.st_mode));
    }
}

TEST_F(Security, NoDescriptorReachesAChild) {
    Agent agent;
    ASSERT_EQ(agent.Call("TolsaGetNumberOfItems"), "2");
    ASSERT_EQ(agent.Send("thread"), "ok");
    // The agent itself holds the log and the area (which is what makes the
    // child's list worth looking at), but no definition file any more.
    const std::string own = agent.Send("fds");
    EXPECT_NE(own.find("/kestor/tolsa_log.txt"), std::string::npos) << own;
    EXPECT_NE(own.find("/dev/shm/tolsavariables"), std::string::npos) << own;
    EXPECT_EQ(own.find(".mem"), std::string::npos) << own;

    const std::string child = agent.Send("child-fds");
    EXPECT_NE(child.find("/proc/"), std::string::npos) << "the child listed nothing: " << child;
    EXPECT_EQ(child.find("/kestor"), std::string::npos) << child;
    EXPECT_EQ(child.find("/dev/shm"), std::string::npos) << child;
}

TEST_F(Security, AreaIsTheOwnersOnly) {
    Agent owner;
    ASSERT_EQ(owner.Call("TolsaWriteString", {"MEMSH_B", CString("secret")}), "0");
    for (const char* object : {"/dev/shm/tolsavariables", "/dev/shm/tolsavariables.guard"}) {
        struct stat status {};
        ASSERT_EQ(stat(object, &status), 0) << object;
        EXPECT_EQ(status.st_mode & 07777, 0600u) << object;
    }

    // Another user with the same definition files gets no area at all.
    ASSERT_EQ(chmod("/kestor", 01777), 0);
    RemoveKestorFile("tolsa_log.txt");
    Agent other(AsNobody());
    EXPECT_EQ(other.Call("TolsaGetPointer"), "null");
    EXPECT_EQ(other.Call("TolsaReadVarName", {"MEMSH_B"}).substr(0, 2), "-3");
    const std::string log = ReadLog();
    EXPECT_NE(log.find("shared memory is 0000000000000000\n"), std::string::npos) << log;
    EXPECT_EQ(owner.Call("TolsaReadString", {"MEMSH_B"}).substr(0, 1), "0");
}

}  // namespace
}  // namespace tolsa::e2e
