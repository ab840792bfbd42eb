// The load of the web view's benchmark: every interval it writes a new value
// into the next CHANGES variables, in turn, through the library, so that that
// many values differ at each of the view's passes.
//
//   tolsa_bench_serve_feeder CHANGES INTERVAL_MS     (until SIGTERM)

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "tolsa.h"

namespace {
volatile std::sig_atomic_t stop = 0;
extern "C" void OnSignal(int) { stop = 1; }
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tolsa_bench_serve_feeder CHANGES INTERVAL_MS\n");
        return 2;
    }
    const long changes = std::strtol(argv[1], nullptr, 10);
    const long interval = std::strtol(argv[2], nullptr, 10);
    const int32_t count = TolsaGetNumberOfItems();
    if (TolsaGetPointer() == nullptr || count <= 0 || changes <= 0 || interval <= 0) {
        std::fprintf(stderr, "tolsa_bench_serve_feeder: no area, or a wrong argument\n");
        return 1;
    }
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    unsigned long round = 0;
    int32_t next = 0;
    while (!stop) {
        ++round;
        for (long i = 0; i < changes; ++i) {
            // Text for '$', and bytes that differ from the last round's for every other letter.
            char value[64] = {};
            std::snprintf(value, sizeof value, "%lu:%ld", round, i);
            TolsaWriteVar(next, value);
            next = (next + 1) % count;
        }
        const timespec pause{interval / 1000, (interval % 1000) * 1000000L};
        nanosleep(&pause, nullptr);
    }
    return 0;
}
