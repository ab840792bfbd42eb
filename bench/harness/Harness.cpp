// Interleaved rounds, per-round ratios and verdicts: see Harness.h.

#include "harness/Harness.h"

#include <sched.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tolsa::bench {

namespace {

uint64_t Now(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string GoalJson(const Goal& goal) {
    switch (goal.kind) {
        case Goal::Kind::AtMost: return "{\"at_most\": " + JsonNumber(goal.bound) + "}";
        case Goal::Kind::AtLeast: return "{\"at_least\": " + JsonNumber(goal.bound) + "}";
        case Goal::Kind::None: break;
    }
    return "null";
}

std::string GoalText(const Goal& goal) {
    char text[32];
    switch (goal.kind) {
        case Goal::Kind::AtMost: std::snprintf(text, sizeof text, "<= %g", goal.bound); return text;
        case Goal::Kind::AtLeast: std::snprintf(text, sizeof text, ">= %g", goal.bound); return text;
        case Goal::Kind::None: break;
    }
    return "";
}

std::string CpuModel() {
    std::ifstream info("/proc/cpuinfo");
    std::string line;
    while (std::getline(info, line)) {
        if (line.rfind("model name", 0) != 0) continue;
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos) return line.substr(line.find_first_not_of(" \t", colon + 1));
    }
    return "unknown";
}

std::string ReadFirstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// Runs `iterations` and keeps the per-operation figure; negative on failure.
double PerOperation(const Block& run, uint64_t iterations) {
    const double total = run(iterations);
    return total < 0 ? -1 : total / static_cast<double>(iterations);
}

// Doubles the iterations until one block lasts `blockNs`.
uint64_t Calibrate(const Block& run, double blockNs) {
    uint64_t iterations = 1;
    for (;;) {
        const double total = run(iterations);
        if (total < 0) return 0;
        if (total >= blockNs || iterations >= (uint64_t{1} << 40)) break;
        const double grow = total > 0 ? blockNs / total : 16;
        iterations = static_cast<uint64_t>(static_cast<double>(iterations) * std::clamp(grow * 1.2, 2.0, 16.0));
    }
    return iterations;
}

void PrintHelp(const std::string& program) {
    std::printf(
        "usage: %s [--json FILE] [--rounds N] [--block-ms MS] [--quick] [--filter TEXT]\n"
        "Runs each library side and its floor or peer in alternating blocks and judges\n"
        "the median, p10 and p90 of the per-round ratios against the goal.\n"
        "  --json FILE    write the results as JSON\n"
        "  --rounds N     rounds per comparison (default 21)\n"
        "  --block-ms MS  length of one block when calibrated (default 5)\n"
        "  --quick        3 short rounds: checks that everything runs\n"
        "  --filter TEXT  only the targets whose text contains TEXT\n"
        "Exit status: 0 done, 1 a side failed or the JSON file could not be written,\n"
        "2 a bad argument. Verdicts never change the exit status.\n",
        program.c_str());
}

}  // namespace

uint64_t WallNanoseconds() { return Now(CLOCK_MONOTONIC); }
uint64_t ThreadCpuNanoseconds() { return Now(CLOCK_THREAD_CPUTIME_ID); }

Block Timed(std::function<void(uint64_t iterations)> body, Clock clock) {
    const clockid_t id = clock == Clock::Wall ? CLOCK_MONOTONIC : CLOCK_THREAD_CPUTIME_ID;
    return [body = std::move(body), id](uint64_t iterations) {
        const uint64_t start = Now(id);
        body(iterations);
        return static_cast<double>(Now(id) - start);
    };
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return NAN;
    std::sort(values.begin(), values.end());
    const double rank = fraction * static_cast<double>(values.size() - 1);
    const auto low = static_cast<std::size_t>(std::floor(rank));
    const std::size_t high = std::min(low + 1, values.size() - 1);
    return values[low] + (values[high] - values[low]) * (rank - static_cast<double>(low));
}

const char* Verdict(const Goal& goal, double p10, double p90) {
    switch (goal.kind) {
        case Goal::Kind::AtMost:
            return p90 <= goal.bound ? "met" : p10 > goal.bound ? "NOT MET" : "unstable";
        case Goal::Kind::AtLeast:
            return p10 >= goal.bound ? "met" : p90 < goal.bound ? "NOT MET" : "unstable";
        case Goal::Kind::None: break;
    }
    return "-";
}

CpuPair PickCpuPair() {
    cpu_set_t set;
    CPU_ZERO(&set);
    CpuPair pair;
    if (sched_getaffinity(0, sizeof set, &set) != 0) return pair;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (!CPU_ISSET(cpu, &set)) continue;
        if (pair.first < 0) {
            pair.first = cpu;
        } else {
            pair.second = cpu;
            return pair;
        }
    }
    return {};
}

bool PinThisThread(int cpu) {
    if (cpu < 0) return false;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0;
}

std::string Describe(const CpuPair& pair) {
    if (pair.first < 0) return "unpinned (fewer than two CPUs)";
    const auto topology = [](int cpu, const char* what) {
        return ReadFirstLine("/sys/devices/system/cpu/cpu" + std::to_string(cpu) + "/topology/" + what);
    };
    const std::string core1 = topology(pair.first, "core_id"), core2 = topology(pair.second, "core_id");
    const std::string package1 = topology(pair.first, "physical_package_id");
    const std::string package2 = topology(pair.second, "physical_package_id");
    std::string text = "cpu " + std::to_string(pair.first) + " + cpu " + std::to_string(pair.second);
    if (core1.empty() || core2.empty()) return text;
    return text + (core1 == core2 && package1 == package2 ? " (SMT siblings)" : " (separate cores)");
}

Harness::Harness(std::string program, int argc, char** argv) : program_(std::move(program)) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            PrintHelp(program_);
            done_ = true;
            return;
        } else if (arg == "--quick") {
            quick_ = true;
        } else if (arg == "--json" && hasValue) {
            jsonPath_ = argv[++i];
        } else if (arg == "--filter" && hasValue) {
            filter_ = argv[++i];
        } else if (arg == "--rounds" && hasValue) {
            rounds_ = std::atoi(argv[++i]);
            if (rounds_ < 1) {
                std::fprintf(stderr, "%s: --rounds wants a number of at least 1, not '%s'\n", program_.c_str(), argv[i]);
                done_ = true;
                exitCode_ = 2;
                return;
            }
        } else if (arg == "--block-ms" && hasValue) {
            blockMs_ = std::atof(argv[++i]);
            if (!(blockMs_ > 0)) {
                std::fprintf(stderr, "%s: --block-ms wants a positive number, not '%s'\n", program_.c_str(), argv[i]);
                done_ = true;
                exitCode_ = 2;
                return;
            }
        } else {
            std::fprintf(stderr, "%s: unknown or incomplete argument '%s' (try --help)\n", program_.c_str(), arg.c_str());
            done_ = true;
            exitCode_ = 2;
            return;
        }
    }
    if (quick_) {
        rounds_ = 3;
        blockMs_ = 0.2;
    }
}

bool Harness::Selected(const std::string& target) const {
    return filter_.empty() || target.find(filter_) != std::string::npos;
}

void Harness::Compare(const Comparison& c) {
    if (!Selected(c.target)) return;
    const int rounds = quick_ ? rounds_ : c.rounds > 0 ? c.rounds : rounds_;
    const double blockNs = blockMs_ * 1e6;
    const uint64_t iterationsA = c.iterations > 0 ? c.iterations : Calibrate(c.a.run, blockNs);
    const uint64_t iterationsB = c.iterations > 0 ? c.iterations : Calibrate(c.b.run, blockNs);
    std::vector<double> a, b, ratios;
    bool failed = iterationsA == 0 || iterationsB == 0;
    // A B, then B A: neither side always runs right after the other.
    for (int round = 0; round < rounds && !failed; ++round) {
        double perA = 0, perB = 0;
        if (round % 2 == 0) {
            perA = PerOperation(c.a.run, iterationsA);
            perB = PerOperation(c.b.run, iterationsB);
        } else {
            perB = PerOperation(c.b.run, iterationsB);
            perA = PerOperation(c.a.run, iterationsA);
        }
        if (perA < 0 || perB < 0 || perB == 0) {
            failed = true;
            break;
        }
        a.push_back(perA);
        b.push_back(perB);
        ratios.push_back(perA / perB);
    }
    const double medianA = Percentile(a, 0.5), medianB = Percentile(b, 0.5);
    const double median = Percentile(ratios, 0.5), p10 = Percentile(ratios, 0.1), p90 = Percentile(ratios, 0.9);
    const std::string verdict = failed ? "failed" : Verdict(c.goal, p10, p90);
    failed_ = failed_ || failed;

    std::printf("%-52s %s\n", c.target.c_str(), verdict.c_str());
    std::printf("    %-36s %12.1f %s\n", c.a.name.c_str(), medianA, c.unit.c_str());
    std::printf("    %-36s %12.1f %s\n", c.b.name.c_str(), medianB, c.unit.c_str());
    std::printf("    ratio %.3g  [p10 %.3g, p90 %.3g]  goal %s  rounds %zu%s%s\n", median, p10, p90,
                c.goal.kind == Goal::Kind::None ? "none" : GoalText(c.goal).c_str(), ratios.size(),
                c.placement.empty() ? "" : "  ", c.placement.c_str());
    std::fflush(stdout);

    std::ostringstream row;
    row << "{\"target\": " << JsonString(c.target) << ", \"kind\": \"ratio\""
        << ", \"a\": {\"name\": " << JsonString(c.a.name) << ", \"median\": " << JsonNumber(medianA)
        << ", \"iterations\": " << iterationsA << "}"
        << ", \"b\": {\"name\": " << JsonString(c.b.name) << ", \"median\": " << JsonNumber(medianB)
        << ", \"iterations\": " << iterationsB << "}"
        << ", \"unit\": " << JsonString(c.unit) << ", \"ratio\": {\"median\": " << JsonNumber(median)
        << ", \"p10\": " << JsonNumber(p10) << ", \"p90\": " << JsonNumber(p90) << "}"
        << ", \"goal\": " << GoalJson(c.goal) << ", \"verdict\": " << JsonString(verdict)
        << ", \"rounds\": " << ratios.size() << ", \"placement\": " << JsonString(c.placement) << ", \"ratios\": [";
    for (std::size_t i = 0; i < ratios.size(); ++i) row << (i ? ", " : "") << JsonNumber(ratios[i]);
    row << "]}";
    rows_.push_back(row.str());
}

void Harness::Value(const Measured& m) {
    if (!Selected(m.target)) return;
    const std::string verdict = Verdict(m.goal, m.value, m.value);
    std::printf("%-52s %s\n", m.target.c_str(), verdict.c_str());
    std::printf("    %-36s %12.1f %s  goal %s\n", m.name.c_str(), m.value, m.unit.c_str(),
                m.goal.kind == Goal::Kind::None ? "none" : GoalText(m.goal).c_str());
    std::fflush(stdout);
    std::ostringstream row;
    row << "{\"target\": " << JsonString(m.target) << ", \"kind\": \"value\", \"name\": " << JsonString(m.name)
        << ", \"value\": " << JsonNumber(m.value) << ", \"unit\": " << JsonString(m.unit)
        << ", \"goal\": " << GoalJson(m.goal) << ", \"verdict\": " << JsonString(verdict) << "}";
    rows_.push_back(row.str());
}

int Harness::Finish() {
    if (done_) return exitCode_;
    if (!jsonPath_.empty()) {
        double load[3] = {NAN, NAN, NAN};
        getloadavg(load, 3);
        std::ofstream out(jsonPath_);
        out << "{\"program\": " << JsonString(program_) << ", \"cpu_model\": " << JsonString(CpuModel())
            << ", \"load_average\": [" << JsonNumber(load[0]) << ", " << JsonNumber(load[1]) << ", "
            << JsonNumber(load[2]) << "], \"quick\": " << (quick_ ? "true" : "false") << ", \"targets\": [\n";
        for (std::size_t i = 0; i < rows_.size(); ++i) out << "  " << rows_[i] << (i + 1 < rows_.size() ? ",\n" : "\n");
        out << "]}\n";
        out.close();
        if (!out) {
            std::fprintf(stderr, "%s: cannot write %s\n", program_.c_str(), jsonPath_.c_str());
            return 1;
        }
    }
    return failed_ ? 1 : 0;
}

}  // namespace tolsa::bench
