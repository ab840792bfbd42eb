// Two processes pass a counter back and forth: one round trip per iteration.
// Through two L variables of the library (by index and by name), against a
// raw cache-line ping-pong in shared memory (the floor) and a pipe ping-pong
// (what users would otherwise pick). The partner is a forked child that
// echoes each new value; both spin, and give up the core after a long spin
// so that on a busy machine neither burns the slice the other one needs.

#include <benchmark/benchmark.h>

#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "tolsa.h"

namespace {

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

int32_t AwaitChange(Channel& channel, int32_t last, bool partner) {
    for (int spins = 1;; ++spins) {
        const int32_t value = partner ? channel.PartnerReceive() : channel.Receive();
        if (value != last) return value;
        if (spins % kSpinsBeforeYield == 0) sched_yield();
    }
}

void RunPingPong(benchmark::State& state, Channel& channel, bool spins) {
    const pid_t child = fork();
    if (child < 0) {
        state.SkipWithError("fork failed");
        return;
    }
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        int32_t last = 0;
        for (;;) {
            const int32_t value = spins ? AwaitChange(channel, last, true) : channel.PartnerReceive();
            if (value == kStop) _exit(0);
            channel.PartnerSend(value);
            last = value;
        }
    }
    int32_t counter = 0;
    for (auto _ : state) {
        ++counter;
        channel.Send(counter);
        if (spins) {
            AwaitChange(channel, counter - 1, false);
        } else if (channel.Receive() != counter) {
            state.SkipWithError("pipe partner answered out of turn");
            break;
        }
    }
    channel.Send(kStop);
    int status = 0;
    waitpid(child, &status, 0);
}

struct LibraryByIndex final : Channel {
    const Variables& v = TheVariables();
    LibraryByIndex() {
        const int32_t zero = 0;
        TolsaWriteVar(v.there, &zero);
        TolsaWriteVar(v.back, &zero);
    }
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
    LibraryByName() {
        const int32_t zero = 0;
        TolsaWriteVarName(v.thereName.c_str(), &zero);
        TolsaWriteVarName(v.backName.c_str(), &zero);
    }
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

void PingPongByIndex(benchmark::State& state) {
    LibraryByIndex channel;
    RunPingPong(state, channel, true);
}

void PingPongByName(benchmark::State& state) {
    LibraryByName channel;
    RunPingPong(state, channel, true);
}

void PingPongRaw(benchmark::State& state) {
    RawCacheLines channel;
    if (channel.lines == nullptr) return state.SkipWithError("mmap failed");
    RunPingPong(state, channel, true);
}

void PingPongPipe(benchmark::State& state) {
    Pipes channel;
    if (!channel.ok) return state.SkipWithError("pipe failed");
    RunPingPong(state, channel, false);
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

BENCHMARK(PingPongByIndex)->UseRealTime();
BENCHMARK(PingPongByName)->UseRealTime();
BENCHMARK(PingPongRaw)->UseRealTime();
BENCHMARK(PingPongPipe)->UseRealTime();

int main(int argc, char** argv) {
    if (!FindTwoLongs()) {
        std::fprintf(stderr, "tolsa_bench_pingpong: the area holds no two L variables (write /kestor first)\n");
        return 2;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
