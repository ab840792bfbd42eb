// Two processes pass a counter back and forth: one round trip per iteration.
// Through two L variables of the library (by index and by name), against a
// raw cache-line ping-pong in shared memory (the floor) and a pipe ping-pong
// (what users would otherwise pick). The partner is a forked child that
// echoes each new value; both spin, and give up the core after a long spin
// so that on a busy machine neither burns the slice the other one needs.

#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "harness/Harness.h"
#include "tolsa.h"

namespace {

namespace hb = tolsa::bench;

constexpr int32_t kStop = -1;

struct Channel {
    // Writes the value the partner waits for; reads the partner's answer.
    virtual void Send(int32_t value) = 0;
    virtual int32_t Receive() = 0;
    // The partner's side of the same two operations.
    virtual int32_t PartnerReceive() = 0;
    virtual void PartnerSend(int32_t value) = 0;
    virtual ~Channel() = default;
};

struct Variables {
    int32_t there = -1, back = -1;  // two L variables
    std::string thereName, backName;
};

Variables& TheVariables() {
    static Variables variables;
    return variables;
}

// Spins on a value that changes; the values sent only ever increase from 0,
// and kStop ends the partner.
// After a long spin the partner is evidently not running (the cores are
// shared), so the core is given up rather than spun away for a whole slice.
constexpr int kSpinsBeforeYield = 1024;

// A partner gone for this long (killed, or never scheduled) ends the block
// as failed rather than leave the other side spinning, at real-time priority.
constexpr uint64_t kGiveUpNs = 2000000000;
constexpr int32_t kGaveUp = -2;

int32_t AwaitChange(Channel& channel, int32_t last, bool partner) {
    const uint64_t start = hb::WallNanoseconds();
    for (int spins = 1;; ++spins) {
        const int32_t value = partner ? channel.PartnerReceive() : channel.Receive();
        if (value != last) return value;
        if (spins % kSpinsBeforeYield == 0) {
            sched_yield();
            if (hb::WallNanoseconds() - start > kGiveUpNs) return kGaveUp;
        }
    }
}

// One block: a partner forked for it, both processes pinned to the same two
// CPUs in every block of every side and at real-time priority where that is
// permitted, one untimed round trip so that the partner is running, then
// `iterations` timed round trips. Wall time.
double RunPingPong(Channel& channel, bool spins, uint64_t iterations) {
    const hb::CpuPair pair = hb::PickCpuPair();
    hb::PinThisThread(pair.first);
    const hb::RealTimeBlock realTime;
    if (spins) {  // both lines back to 0, where the counter starts
        channel.Send(0);
        channel.PartnerSend(0);
    }
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        hb::PinThisThread(pair.second);
        int32_t last = 0;
        for (;;) {
            const int32_t value = spins ? AwaitChange(channel, last, true) : channel.PartnerReceive();
            if (value == kStop || value == kGaveUp) _exit(value == kStop ? 0 : 1);
            channel.PartnerSend(value);
            last = value;
        }
    }
    bool inTurn = true;
    int32_t counter = 0;
    const auto roundTrip = [&] {
        ++counter;
        channel.Send(counter);
        if (spins) {
            inTurn = AwaitChange(channel, counter - 1, false) == counter;
        } else if (channel.Receive() != counter) {
            inTurn = false;
        }
    };
    roundTrip();
    const uint64_t start = hb::WallNanoseconds();
    for (uint64_t i = 0; i < iterations && inTurn; ++i) roundTrip();
    const uint64_t elapsed = hb::WallNanoseconds() - start;
    channel.Send(kStop);
    int status = 0;
    waitpid(child, &status, 0);
    if (!inTurn) std::fprintf(stderr, "tolsa_bench_pingpong: the partner answered out of turn or not at all\n");
    return inTurn && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? static_cast<double>(elapsed) : -1;
}

struct LibraryByIndex final : Channel {
    const Variables& v = TheVariables();
    void Send(int32_t value) override { TolsaWriteVar(v.there, &value); }
    int32_t Receive() override {
        int32_t value = 0;
        TolsaReadVar(v.back, &value);
        return value;
    }
    int32_t PartnerReceive() override {
        int32_t value = 0;
        TolsaReadVar(v.there, &value);
        return value;
    }
    void PartnerSend(int32_t value) override { TolsaWriteVar(v.back, &value); }
};

struct LibraryByName final : Channel {
    const Variables& v = TheVariables();
    void Send(int32_t value) override { TolsaWriteVarName(v.thereName.c_str(), &value); }
    int32_t Receive() override {
        int32_t value = 0;
        TolsaReadVarName(v.backName.c_str(), &value);
        return value;
    }
    int32_t PartnerReceive() override {
        int32_t value = 0;
        TolsaReadVarName(v.thereName.c_str(), &value);
        return value;
    }
    void PartnerSend(int32_t value) override { TolsaWriteVarName(v.backName.c_str(), &value); }
};

// Two cache lines of shared memory, one per direction.
struct RawCacheLines final : Channel {
    struct alignas(64) Line {
        volatile int32_t value;
    };
    Line* lines;
    RawCacheLines() {
        void* mapped = mmap(nullptr, 2 * sizeof(Line), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        lines = mapped == MAP_FAILED ? nullptr : static_cast<Line*>(mapped);
        if (lines != nullptr) {  // fresh anonymous pages are zero already; say so
            lines[0].value = 0;
            lines[1].value = 0;
        }
    }
    ~RawCacheLines() override {
        if (lines != nullptr) munmap(lines, 2 * sizeof(Line));
    }
    void Send(int32_t value) override { lines[0].value = value; }
    int32_t Receive() override { return lines[1].value; }
    int32_t PartnerReceive() override { return lines[0].value; }
    void PartnerSend(int32_t value) override { lines[1].value = value; }
};

struct Pipes final : Channel {
    int there[2] = {-1, -1}, back[2] = {-1, -1};
    bool ok;
    Pipes() : ok(pipe(there) == 0 && pipe(back) == 0) {}
    ~Pipes() override {
        for (int fd : {there[0], there[1], back[0], back[1]})
            if (fd >= 0) close(fd);
    }
    static int32_t ReadFrom(int fd) {
        int32_t value = kStop;
        return read(fd, &value, sizeof value) == sizeof value ? value : kStop;
    }
    static void WriteTo(int fd, int32_t value) {
        if (write(fd, &value, sizeof value) != sizeof value) _exit(3);
    }
    void Send(int32_t value) override { WriteTo(there[1], value); }
    int32_t Receive() override { return ReadFrom(back[0]); }
    int32_t PartnerReceive() override { return ReadFrom(there[0]); }
    void PartnerSend(int32_t value) override { WriteTo(back[1], value); }
};

// A side whose channel lives as long as the comparison.
template <typename ChannelType>
hb::Side Side(const char* name, bool spins) {
    auto channel = std::make_shared<ChannelType>();
    return {name, [channel, spins](uint64_t iterations) { return RunPingPong(*channel, spins, iterations); }};
}

bool FindTwoLongs() {
    const TolsaVariableRecord* base = TolsaGetPointer();
    const int32_t count = TolsaGetNumberOfItems();
    Variables& v = TheVariables();
    for (int32_t i = 0; i < count && v.back < 0; ++i) {
        if (base[i].type != 'L') continue;
        (v.there < 0 ? v.there : v.back) = i;
    }
    if (v.back < 0) return false;
    v.thereName = base[v.there].name;
    v.backName = base[v.back].name;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    hb::Harness harness("tolsa_bench_pingpong", argc, argv);
    if (harness.Done()) return harness.ExitCode();
    if (!FindTwoLongs()) {
        std::fprintf(stderr, "tolsa_bench_pingpong: the area holds no two L variables (write /kestor first)\n");
        return 2;
    }
    auto raw = std::make_shared<RawCacheLines>();
    auto pipes = std::make_shared<Pipes>();
    if (raw->lines == nullptr || !pipes->ok) {
        std::fprintf(stderr, "tolsa_bench_pingpong: cannot make the shared lines or the pipes\n");
        return 1;
    }
    const std::string placement = hb::Describe(hb::PickCpuPair()) +
                                  (hb::RealTimeBlock::Permitted() ? ", real-time priority" : ", normal priority");
    const hb::Side byIndex = Side<LibraryByIndex>("PingPongByIndex", true);
    const hb::Side byName = Side<LibraryByName>("PingPongByName", true);
    const hb::Side rawLines{"PingPongRaw", [raw](uint64_t n) { return RunPingPong(*raw, true, n); }};
    const hb::Side pipe{"PingPongPipe", [pipes](uint64_t n) { return RunPingPong(*pipes, false, n); }};
    const std::string note = "a partner process forked per block; wall time of the round trips only";
    harness.Compare({.target = "round trip by index <= 1.5x raw cache line", .a = byIndex, .b = rawLines,
                     .goal = hb::AtMost(1.5), .placement = placement, .note = note});
    harness.Compare({.target = "pipe >= 50x round trip by index", .a = pipe, .b = byIndex,
                     .goal = hb::AtLeast(50), .placement = placement, .note = note});
    harness.Compare({.target = "round trip by name vs raw cache line (no goal)", .a = byName, .b = rawLines,
                     .goal = hb::NoGoal(), .placement = placement, .note = note});
    return harness.Finish();
}
