// What must never hang, tear or vanish around a host's life: the area under a
// daemon that closed its descriptors, a start-up held up by another process,
// a child forked in the middle of start-up, a process exiting while a thread
// is in the library, and the log while threads log and retry at once.

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "AgentProcess.h"
#include "Records.h"

namespace tolsa::e2e {
namespace {

using Clock = std::chrono::steady_clock;

class Liveness : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Isolation(), "");
        ClearKestor();
    }
    void TearDown() override { ClearKestor(); }
};

// The area survives a holder that closed every descriptor: the mapping keeps
// its lock, so the next starter joins the live area instead of resetting it.
TEST_F(Liveness, AreaOutlivesTheDescriptorsOfItsHolder) {
    if (AgentIsWindows()) GTEST_SKIP() << "closing every descriptor from 3 up would cut wine off its server";
    WriteKestorFile("iorsh.mem", "Count=L\n");
    WriteKestorFile("memsh.mem", "Text=$\n");
    Agent first;
    ASSERT_EQ(first.Call("TolsaWriteInt32", {"IORSH_Count", "4711"}), "0");
    ASSERT_EQ(first.Send("close-fds"), "ok");
    EXPECT_EQ(first.Send("fds").find("/dev/shm/tolsavariables"), std::string::npos) << "the descriptor is still open";

    Agent second;
    EXPECT_EQ(second.Call("TolsaReadInt32", {"IORSH_Count"}), "4711");
    EXPECT_EQ(first.Call("TolsaReadInt32", {"IORSH_Count"}), "4711");
    ASSERT_EQ(second.Call("TolsaWriteString", {"MEMSH_Text", CString("from the second")}), "0");
    EXPECT_EQ(first.Call("TolsaReadString", {"MEMSH_Text"}).substr(0, 1), "0");
    EXPECT_EQ(RawValue(first, 1).substr(0, 16), std::string("from the second\0", 16));
    ASSERT_EQ(first.Call("TolsaWriteInt32", {"IORSH_Count", "-9"}), "0");
    EXPECT_EQ(second.Call("TolsaReadInt32", {"IORSH_Count"}), "-9");
}

// Holds the exclusive lock on the start-up guard as a stopped starter would,
// until released or for a minute at most, so that a starter that waited
// without bound would still end the test, only failing it.
class GuardHolder {
public:
    GuardHolder() : fd_(shm_open("/tolsavariables.guard", O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        locked_ = fd_ >= 0 && flock(fd_, LOCK_EX) == 0;
        watchdog_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            released_.wait_for(lock, std::chrono::minutes(1), [this] { return done_; });
            close(fd_);
        });
    }
    ~GuardHolder() { Release(); }
    bool Locked() const { return locked_; }
    void Release() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        released_.notify_one();
        if (watchdog_.joinable()) watchdog_.join();
    }

private:
    int fd_;
    bool locked_ = false;
    bool done_ = false;
    std::mutex mutex_;
    std::condition_variable released_;
    std::thread watchdog_;
};

TEST_F(Liveness, StarterGivesUpOnAHeldGuardAndRetriesLater) {
    if (AgentIsWindows()) GTEST_SKIP() << "a Windows mapping is created or opened in one step, with no guard";
    WriteKestorFile("iorsh.mem", "A=L\n");
    WriteKestorFile("memsh.mem", "B=W\n");
    GuardHolder holder;
    ASSERT_TRUE(holder.Locked());

    const auto started = Clock::now();
    Agent agent;  // start-up runs before the agent answers
    const auto waited = Clock::now() - started;
    EXPECT_GE(waited, std::chrono::seconds(4)) << "start-up did not wait for the guard";
    EXPECT_LT(waited, std::chrono::seconds(30)) << "start-up waited for the holder, not for its bound";
    EXPECT_EQ(ReadLog(), kBanner +
                             "1 variables after iorsh\n2 variables total\nwill allocate 656 bytes (328 per item)\n"
                             "shared memory is 0000000000000000\n"
                             "gave up after 5 s waiting for another process's start-up to release the shared "
                             "area's guard; the next attempt tries again\n");

    holder.Release();
    EXPECT_EQ(agent.Call("TolsaGetNumberOfItems"), "2");  // this call's own attempt succeeds
    EXPECT_EQ(agent.Call("TolsaWriteInt32", {"IORSH_A", "5"}), "0");
    EXPECT_EQ(ReadLog().find("gave up"), std::string::npos);
}

TEST_F(Liveness, ChildForkedDuringStartupDoesNotHang) {
    if (AgentIsWindows()) GTEST_SKIP() << "fork";
    // Nothing is published, so every call of the looping thread runs start-up
    // and writes the log: most forks happen with one of their locks held.
    WriteKestorFile("iorsh.mem", "A=L\n");
    Agent agent;
    EXPECT_EQ(agent.Send("fork-calls 40 5000"), "forks=40 hung=0");
}

TEST_F(Liveness, ProcessExitsWhileAThreadIsInTheLibrary) {
    // Nothing published: the detach notification must not retry start-up
    // while the killed thread may hold the log's lock.
    WriteKestorFile("iorsh.mem", "A=L\n");
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        Agent agent;
        ASSERT_EQ(agent.Send("spin-miss IORSH_spin"), "started");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ASSERT_EQ(agent.StopWithin(3, std::chrono::seconds(30)), std::optional<int>(3)) << "the process did not exit";
    }
}

// Every line of a log written while threads miss and start-up retries: the
// banner, the open failure and the miss lines of NAME + one or more 'x'.
void ExpectWholeLines(const std::string& log) {
    ASSERT_EQ(log.find('\0'), std::string::npos) << "NUL bytes in the log";
    const std::string miss = "tried to access non-existing variable IORSH_miss";
    std::istringstream lines(log);
    std::size_t count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        const bool known = line + "\n" == kBanner || line == "failed to open memsh file at /kestor/memsh.mem" ||
                           (line.rfind(miss, 0) == 0 && line.size() > miss.size() &&
                            line.find_first_not_of('x', miss.size()) == std::string::npos);
        ASSERT_TRUE(known) << "line " << count << ": " << line;
    }
    ASSERT_GT(count, 0u) << log.size() << " bytes";
    EXPECT_EQ(log.back(), '\n');
}

TEST_F(Liveness, LogIsNeverTornByThreadsThatMissWhileStartupRetries) {
    WriteKestorFile("iorsh.mem", "A=L\n");  // memsh.mem missing: nothing is ever published
    // The agent looks for NUL bytes all along, since the next truncation
    // would wipe them before the end; every line of the log its process
    // leaves behind must be whole.
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        Agent agent;
        ASSERT_EQ(agent.Send("miss-threads 8 500 IORSH_miss"), "ok");
        ASSERT_EQ(agent.Stop(), 0);
        ExpectWholeLines(ReadLog());
    }
}

}  // namespace
}  // namespace tolsa::e2e
