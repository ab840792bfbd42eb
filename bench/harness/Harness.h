#pragma once
// The one harness every benchmark comparison goes through (CMake target
// `tolsa_bench_harness`, include "harness/Harness.h"; Linux only).
//
// Why: on a shared machine two sequential measurements differ by where the
// scheduler happened to put the threads, so a verdict resting on one of each
// is partly luck. Here A (the library) and B (its floor or peer) run in
// alternating blocks in the same run, over the same data; every round gives
// one ratio A/B, and the verdict rests on the spread of those ratios:
//   met       the whole p10..p90 band is on the right side of the goal,
//   NOT MET   the whole band is on the wrong side,
//   unstable  the band straddles the goal (the spread is printed).
//
// Usage:
//
//   #include "harness/Harness.h"
//   namespace hb = tolsa::bench;
//   int main(int argc, char** argv) {
//       hb::Harness harness("tolsa_bench_access", argc, argv);   // --json FILE --rounds N --block-ms MS --quick --filter TEXT
//       if (harness.Done()) return harness.ExitCode();             // --help or a bad argument
//       harness.Compare({
//           .target = "read by index $ at 1000 <= 2x floor",   // stable key across runs
//           .a = {"ReadByIndex/$", hb::Timed([&](uint64_t n) { for (uint64_t i = 0; i < n; ++i) ...; })},
//           .b = {"FloorReadByIndex/$", hb::Timed(...)},
//           .goal = hb::AtMost(2.0),                            // on median A / B; hb::AtLeast(50), hb::NoGoal()
//       });
//       harness.Value({.target = "index bytes per variable", .name = "IndexMemory/1000000",
//                      .value = 61.2, .unit = "bytes", .goal = hb::AtMost(80)});
//       return harness.Finish();   // prints the table, writes the JSON file
//   }
//
// A Block runs `iterations` operations and returns the nanoseconds they took
// in total; `Timed` wraps a plain loop body with a clock (wall by default,
// Clock::ThreadCpu for single-threaded work). A block that measures only part
// of its work (a forked partner, a server started first) times itself.
// Unless `iterations` is set, each side is calibrated once, before the
// rounds, to last about --block-ms. A block that returns a negative number
// marks the side failed; the comparison's verdict is then "failed".
//
// Cross-process pairs: PickCpuPair() gives two CPUs of this process's
// affinity set; pin both sides of A and of B to the same two in every block
// (PinThisThread in the parent, and in the child after fork) and put
// Describe(pair) in `.placement`.
//
// The JSON file (--json) holds, per comparison: target, the names and median
// nanoseconds per operation of A and B, the ratio's median/p10/p90, the goal,
// the verdict, the rounds, the placement; and the CPU model and the load
// average. bench/harness.py writes the same shape for the Python benchmarks
// and bench/report.py merges, prints and counts the runs.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tolsa::bench {

using Block = std::function<double(uint64_t iterations)>;

enum class Clock { Wall, ThreadCpu };

// A block that times `body(iterations)` with `clock`.
Block Timed(std::function<void(uint64_t iterations)> body, Clock clock = Clock::Wall);

// Nanoseconds on each clock, for blocks that time themselves.
uint64_t WallNanoseconds();
uint64_t ThreadCpuNanoseconds();

struct Goal {
    enum class Kind { None, AtMost, AtLeast } kind = Kind::None;
    double bound = 0;
};
inline Goal AtMost(double bound) { return {Goal::Kind::AtMost, bound}; }
inline Goal AtLeast(double bound) { return {Goal::Kind::AtLeast, bound}; }
inline Goal NoGoal() { return {}; }

struct Side {
    std::string name{};
    Block run{};
};

struct Comparison {
    std::string target{};     // what is claimed; the key that runs are compared by
    Side a{}, b{};            // the ratio is A / B
    Goal goal{};              // on the ratio
    std::string unit = "ns";  // per operation, as printed
    std::string placement{};  // e.g. Describe(PickCpuPair()); empty when unpinned
    uint64_t iterations = 0;  // per block; 0 calibrates to --block-ms
    int rounds = 0;           // 0 takes --rounds
};

// A figure measured once (deterministic, e.g. bytes), judged directly.
struct Measured {
    std::string target{};
    std::string name{};
    double value = 0;
    std::string unit{};
    Goal goal{};
};

// The ratio percentiles of a list of per-round ratios, linear between ranks
// (the same rule as bench/harness.py).
double Percentile(std::vector<double> values, double fraction);

// "met", "NOT MET" or "unstable" for a band p10..p90 against a goal; "-" without one.
const char* Verdict(const Goal& goal, double p10, double p90);

struct CpuPair {
    int first = -1, second = -1;  // -1: fewer than two CPUs allowed
};
CpuPair PickCpuPair();
bool PinThisThread(int cpu);  // false when the CPU is not allowed
// "cpu 0 + cpu 1 (separate cores)", or "(SMT siblings)", from /sys topology.
std::string Describe(const CpuPair& pair);

class Harness {
public:
    Harness(std::string program, int argc, char** argv);
    bool Done() const { return done_; }    // --help or bad arguments: exit with ExitCode()
    int ExitCode() const { return exitCode_; }
    bool Quick() const { return quick_; }  // --quick: a smoke run, few short rounds, no verdicts

    void Compare(const Comparison& comparison);
    void Value(const Measured& measured);
    // Prints the table and writes the JSON file; 0, or 1 when a side failed
    // or the file could not be written. Verdicts never change the exit status.
    int Finish();

private:
    bool Selected(const std::string& target) const;
    std::string program_;
    std::string jsonPath_, filter_;
    int rounds_ = 21;
    double blockMs_ = 5;
    bool quick_ = false, done_ = false, failed_ = false;
    int exitCode_ = 0;
    std::vector<std::string> rows_;  // JSON objects, one per comparison or value
};

}  // namespace tolsa::bench
