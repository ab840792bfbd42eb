// tolsa_bench_bridge: the bridge against its floors.
//  - change detection: the bridge's shadow pass over 1,000 and 100,000
//    records against a bare memcmp pass over the same value fields;
//  - with a broker and two bridges up (bench/bridge-bench.sh runs this in
//    area A, the bridges with --interval 1): the latency from a write in
//    area A to the value readable in area B, against libmosquitto publish ->
//    subscribe on the same broker; and distinct changes carried A -> B per
//    second, against libmosquitto publishing the same messages in a loop.
// `tolsa_bench_bridge --reader` is the partner in area B: it reads requests
// on stdin and answers with the CLOCK_MONOTONIC time it saw them met.

#include <mosquitto.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Shadow.h"
#include "harness/Harness.h"
#include "tolsa.h"

namespace hb = tolsa::bench;

namespace {

constexpr int kItem = TOLSA_ITEM_SIZE;

// Keeps a computed value from being optimised away.
template <typename T>
inline void Keep(const T& value) {
    asm volatile("" : : "r,m"(value) : "memory");
}
constexpr int kValueOffset = offsetof(TolsaVariableRecord, value);

// ---- change detection ---------------------------------------------------------

void CompareChangeDetection(hb::Harness& harness, int count) {
    // Records of 'L' (4 bytes) and '$' (64) alternating, as a mixed area.
    auto area = std::make_shared<std::vector<unsigned char>>(static_cast<std::size_t>(count) * kItem);
    std::vector<int32_t> indices(static_cast<std::size_t>(count)), sizes(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        indices[static_cast<std::size_t>(i)] = i;
        sizes[static_cast<std::size_t>(i)] = i % 2 == 0 ? 4 : 64;
    }
    auto shadow = std::make_shared<tolsa::bridge::Shadow>(indices, sizes);
    auto floorShadow = std::make_shared<std::vector<unsigned char>>(static_cast<std::size_t>(count) * 64);
    auto changed = std::make_shared<std::vector<int32_t>>();
    // One value in a thousand changes between passes, as a live area does.
    auto touch = [area, count](uint64_t round) {
        for (int i = static_cast<int>(round % 1000); i < count; i += 1000)
            (*area)[static_cast<std::size_t>(i) * kItem + kValueOffset] = static_cast<unsigned char>(round);
    };
    auto round = std::make_shared<uint64_t>(0);
    harness.Compare({
        .target = "bridge change-detection pass at " + std::to_string(count) + " <= 1.5x memcmp floor",
        .a = {"ShadowPass/" + std::to_string(count),
              hb::Timed([=](uint64_t n) {
                  for (uint64_t k = 0; k < n; ++k) {
                      touch(++*round);
                      changed->clear();
                      shadow->Pass(area->data(), kItem, kValueOffset, *changed);
                      Keep(changed->size());
                  }
              }, hb::Clock::ThreadCpu)},
        .b = {"FloorMemcmpPass/" + std::to_string(count),
              hb::Timed([=](uint64_t n) {
                  for (uint64_t k = 0; k < n; ++k) {
                      touch(++*round);
                      changed->clear();
                      const unsigned char* base = area->data();
                      unsigned char* copy = floorShadow->data();
                      for (int i = 0; i < count; ++i) {
                          const unsigned char* value = base + static_cast<std::ptrdiff_t>(i) * kItem + kValueOffset;
                          const std::size_t size = i % 2 == 0 ? 4 : 64;
                          if (std::memcmp(value, copy + i * 64, size) != 0) {
                              std::memcpy(copy + i * 64, value, size);
                              changed->push_back(i);
                          }
                      }
                      Keep(changed->size());
                  }
              }, hb::Clock::ThreadCpu)},
        .goal = hb::AtMost(1.5),
        .unit = "ns/pass",
    });
}

// ---- the partner in area B ------------------------------------------------------

uint64_t Now() { return hb::WallNanoseconds(); }

int32_t* ValueOf(int index) {
    auto* base = reinterpret_cast<unsigned char*>(TolsaGetPointer());
    return reinterpret_cast<int32_t*>(base + static_cast<std::ptrdiff_t>(index) * kItem + kValueOffset);
}

// "L K": wait until IORSH_V0 is K. "S K N": until IORSH_V0..V(N-1) all are K.
// Answers the time it was so, or -1 after 10 s.
int RunReader() {
    if (TolsaGetPointer() == nullptr) {
        std::fprintf(stderr, "reader: no area\n");
        return 1;
    }
    char line[128];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
        char kind = 0;
        long long wanted = 0;
        int count = 1;
        if (std::sscanf(line, " %c %lld %d", &kind, &wanted, &count) < 2) continue;
        const uint64_t deadline = Now() + 10'000'000'000ULL;
        long long seen = -1;
        int next = 0;  // the first variable not yet seen with its value
        while (Now() < deadline) {
            while (next < count && __atomic_load_n(ValueOf(next), __ATOMIC_RELAXED) == wanted) ++next;
            if (next == count) {
                seen = static_cast<long long>(Now());
                break;
            }
            // Not a busy spin: the bridges and the broker share the cores.
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
        std::printf("%lld\n", seen);
        std::fflush(stdout);
    }
    return 0;
}

// ---- through the broker -----------------------------------------------------------

struct Partner {
    FILE* to = nullptr;
    FILE* from = nullptr;
    // Sends a request and returns the time the reader answered, or -1.
    long long Ask(const std::string& request) const {
        std::fputs(request.c_str(), to);
        std::fflush(to);
        char line[64];
        if (std::fgets(line, sizeof line, from) == nullptr) return -1;
        return std::atoll(line);
    }
};

Partner StartPartner(const std::string& command) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[1]);
        close(out[0]);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    return {fdopen(in[1], "w"), fdopen(out[0], "r")};
}

struct Client {
    mosquitto* client = nullptr;
    uint64_t received = 0;
    uint64_t lastTime = 0;
};

void OnMessage(mosquitto*, void* self, const mosquitto_message*) {
    auto* c = static_cast<Client*>(self);
    ++c->received;
    c->lastTime = Now();
}

bool Connect(Client& c, int port, const char* subscription) {
    c.client = mosquitto_new(nullptr, true, &c);
    if (c.client == nullptr) return false;
    mosquitto_int_option(c.client, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_message_callback_set(c.client, OnMessage);
    if (mosquitto_connect(c.client, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS) return false;
    if (subscription != nullptr && mosquitto_subscribe(c.client, nullptr, subscription, 0) != MOSQ_ERR_SUCCESS)
        return false;
    for (int i = 0; i < 20; ++i) mosquitto_loop(c.client, 10, 1);  // CONNACK, SUBACK
    return true;
}

// Loops `sub` until it received `total` messages in all, or 10 s passed.
bool WaitFor(Client& sub, Client& pub, uint64_t total) {
    const uint64_t deadline = Now() + 10'000'000'000ULL;
    while (sub.received < total && Now() < deadline) {
        mosquitto_loop(sub.client, 1, 1000);
        mosquitto_loop(pub.client, 0, 1);
    }
    return sub.received >= total;
}

void CompareThroughBroker(hb::Harness& harness, int port, const std::string& partnerCommand, int variables) {
    mosquitto_lib_init();
    static Client pub, sub;
    if (!Connect(pub, port, nullptr) || !Connect(sub, port, "floor/value/+")) {
        std::fprintf(stderr, "cannot connect the floor's clients to port %d\n", port);
        return;
    }
    static Partner partner = StartPartner(partnerCommand);
    static long long written = 1000;  // the last value written to IORSH_V0
    static std::vector<double> latencies;

    harness.Compare({
        .target = "bridge latency A->B, --interval 1 (floor: publish->subscribe)",
        .a = {"BridgeWriteToReadable",
              [](uint64_t n) -> double {
                  double total = 0;
                  for (uint64_t k = 0; k < n; ++k) {
                      const long long value = ++written;
                      std::fputs(("L " + std::to_string(value) + "\n").c_str(), partner.to);
                      std::fflush(partner.to);
                      const auto v = static_cast<int32_t>(value);
                      const uint64_t start = Now();
                      TolsaWriteVarName("IORSH_V0", &v);
                      char line[64];
                      if (std::fgets(line, sizeof line, partner.from) == nullptr) return -1;
                      const long long seen = std::atoll(line);
                      if (seen < 0) return -1;
                      const double latency = static_cast<double>(static_cast<uint64_t>(seen) - start);
                      latencies.push_back(latency);
                      total += latency;
                  }
                  return total;
              }},
        .b = {"FloorPublishToReceive",
              [](uint64_t n) -> double {
                  double total = 0;
                  for (uint64_t k = 0; k < n; ++k) {
                      const std::string payload = std::to_string(++written);
                      const uint64_t before = sub.received;
                      const uint64_t start = Now();
                      mosquitto_publish(pub.client, nullptr, "floor/value/IORSH_V0", static_cast<int>(payload.size()),
                                        payload.data(), 0, true);
                      if (!WaitFor(sub, pub, before + 1)) return -1;
                      total += static_cast<double>(sub.lastTime - start);
                  }
                  return total;
              }},
        .goal = hb::NoGoal(),
        .unit = "ns",
        .iterations = 40,
    });
    if (!latencies.empty()) {
        std::sort(latencies.begin(), latencies.end());
        const double median = hb::Percentile(latencies, 0.5) / 1e6, p99 = hb::Percentile(latencies, 0.99) / 1e6;
        harness.Value({.target = "bridge latency A->B median <= 2 ms", .name = "BridgeLatency/median", .value = median,
                       .unit = "ms", .goal = hb::AtMost(2)});
        harness.Value({.target = "bridge latency A->B p99 <= 10 ms", .name = "BridgeLatency/p99", .value = p99,
                       .unit = "ms", .goal = hb::AtMost(10)});
    }

    static int sweeps = 0;
    static double carriedNs = 0, carriedValues = 0;
    static std::vector<std::string> topics, payloads;
    for (int i = 0; i < variables; ++i) topics.push_back("floor/value/IORSH_V" + std::to_string(i));
    harness.Compare({
        .target = "bridge distinct changes A->B >= 0.7x libmosquitto loop (ratio A/B <= 1.43)",
        .a = {"BridgeSweep/" + std::to_string(variables),
              [variables](uint64_t n) -> double {
                  double total = 0;
                  for (uint64_t k = 0; k < n; ++k) {
                      const int32_t value = 1'000'000 + ++sweeps;
                      std::fputs(("S " + std::to_string(value) + " " + std::to_string(variables) + "\n").c_str(),
                                 partner.to);
                      std::fflush(partner.to);
                      const uint64_t start = Now();
                      for (int i = 0; i < variables; ++i) *ValueOf(i) = value;
                      char line[64];
                      if (std::fgets(line, sizeof line, partner.from) == nullptr) return -1;
                      const long long seen = std::atoll(line);
                      if (seen < 0) return -1;  // not every value arrived: a failure, not a figure
                      total += static_cast<double>(static_cast<uint64_t>(seen) - start);
                  }
                  carriedNs += total;
                  carriedValues += static_cast<double>(n) * variables;
                  return total;
              }},
        .b = {"FloorPublishLoop/" + std::to_string(variables),
              [variables](uint64_t n) -> double {
                  double total = 0;
                  for (uint64_t k = 0; k < n; ++k) {
                      const std::string payload = std::to_string(1'000'000 + ++sweeps);
                      const uint64_t before = sub.received;
                      const uint64_t start = Now();
                      for (int i = 0; i < variables; ++i) {
                          mosquitto_publish(pub.client, nullptr, topics[static_cast<std::size_t>(i)].c_str(),
                                            static_cast<int>(payload.size()), payload.data(), 0, true);
                          mosquitto_loop(sub.client, 0, 1000);
                      }
                      if (!WaitFor(sub, pub, before + static_cast<uint64_t>(variables))) return -1;
                      total += static_cast<double>(sub.lastTime - start);
                  }
                  return total;
              }},
        .goal = hb::AtMost(1.0 / 0.7),
        .unit = "ns/sweep",
        .iterations = 1,
    });
    if (carriedNs > 0)
        harness.Value({.target = "bridge distinct changes carried A->B >= 50000/s", .name = "BridgeValuesPerSecond",
                       .value = carriedValues / (carriedNs / 1e9), .unit = "values/s", .goal = hb::AtLeast(50000)});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--reader") == 0) return RunReader();
    hb::Harness harness("tolsa_bench_bridge", argc, argv);
    if (harness.Done()) return harness.ExitCode();
    CompareChangeDetection(harness, 1000);
    CompareChangeDetection(harness, 100000);
    const char* port = std::getenv("TOLSA_BENCH_BROKER_PORT");
    const char* partner = std::getenv("TOLSA_BENCH_PARTNER");
    const char* variables = std::getenv("TOLSA_BENCH_VARIABLES");
    if (port != nullptr && partner != nullptr && TolsaGetPointer() != nullptr)
        CompareThroughBroker(harness, std::atoi(port), partner, variables ? std::atoi(variables) : 10000);
    else
        std::fprintf(stderr, "latency and throughput left out: run bench/bridge-bench.sh for a broker and two areas\n");
    return harness.Finish();
}
