// tolsa_bench_sparkplug: what a changed variable costs the bridge in its
// Sparkplug B mode against its plain-topic mode, the floor, in the same run:
// per pass, 100 of 1,000 variables of mixed letters changed, then
//  - Sparkplug: one NDATA with the 100 metrics by alias, encoded and
//    published;
//  - plain: the plain layout's 100 value messages, formatted and published.
// Both publish with QoS 0 through libmosquitto to a real mosquitto on
// loopback (bench/sparkplug-bench.sh starts it and sets
// TOLSA_BENCH_BROKER_PORT). Reported per changed variable.

#include <mosquitto.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "EdgeNode.h"
#include "PlainLayout.h"
#include "harness/Harness.h"

namespace hb = tolsa::bench;

namespace {

constexpr int kVariables = 1000;
constexpr int kChanged = 100;

// The variables as the bridge reads them, letters in turn.
std::vector<tolsa::codec::Record> MakeRecords() {
    static const char letters[] = {'L', 'D', '$', 'B', 'M'};
    static const int32_t sizes[] = {4, 8, 63, 1, 2};
    std::vector<tolsa::codec::Record> records(kVariables);
    for (int i = 0; i < kVariables; ++i) {
        auto& record = records[static_cast<std::size_t>(i)];
        record.index = i;
        record.name = "IORSH_Variable" + std::to_string(i);
        record.type = letters[i % 5];
        record.size = sizes[i % 5];
    }
    return records;
}

// A new value for each changed record, as a live area gives them.
void Change(std::vector<tolsa::codec::Record>& changed, uint64_t round) {
    for (auto& record : changed) {
        if (record.type == '$') {
            std::snprintf(reinterpret_cast<char*>(record.value.data()), 64, "state %llu", static_cast<unsigned long long>(round));
        } else {
            const double real = static_cast<double>(round) * 0.25;
            const auto integer = static_cast<uint32_t>(round * 7919);
            if (record.type == 'D') std::memcpy(record.value.data(), &real, 8);
            else std::memcpy(record.value.data(), &integer, static_cast<std::size_t>(record.size));
        }
    }
}

// The time text the plain loop stamps a pass with (its IsoTime lives in the
// bridge program, not in a library this links).
std::string IsoTimeNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                  utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(ms));
    return text;
}

bool Publish(mosquitto* client, const std::string& topic, const void* payload, std::size_t size) {
    return mosquitto_publish(client, nullptr, topic.c_str(), static_cast<int>(size), payload, 0, false) == MOSQ_ERR_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
    hb::Harness harness("tolsa_bench_sparkplug", argc, argv);
    if (harness.Done()) return harness.ExitCode();
    const char* port = std::getenv("TOLSA_BENCH_BROKER_PORT");
    if (port == nullptr) {
        std::fputs("tolsa_bench_sparkplug: TOLSA_BENCH_BROKER_PORT is not set (run bench/sparkplug-bench.sh)\n", stderr);
        return 2;
    }
    mosquitto_lib_init();
    // One client per side, each with its own connection, no loop thread:
    // a QoS 0 publish writes to the socket in the call, so its cost is timed.
    auto connect = [&]() -> mosquitto* {
        mosquitto* client = mosquitto_new(nullptr, true, nullptr);
        if (client == nullptr || mosquitto_connect(client, "127.0.0.1", std::atoi(port), 60) != MOSQ_ERR_SUCCESS) {
            std::fprintf(stderr, "tolsa_bench_sparkplug: cannot connect to 127.0.0.1:%s\n", port);
            std::exit(1);
        }
        mosquitto_loop(client, 100, 1);  // the CONNACK
        return client;
    };
    mosquitto* sparkplugClient = connect();
    mosquitto* plainClient = connect();

    const std::vector<tolsa::codec::Record> records = MakeRecords();
    auto changed = std::make_shared<std::vector<tolsa::codec::Record>>();
    for (int i = 0; i < kVariables; i += kVariables / kChanged) changed->push_back(records[static_cast<std::size_t>(i)]);

    auto node = std::make_shared<tolsa::sparkplug::EdgeNode>(std::vector<bool>(kVariables, true), std::vector<bool>(kVariables, false));
    node->Connect();
    node->Birth(records, 0);
    const std::string dataTopic = tolsa::sparkplug::TopicsOf("bench", "node").data;
    auto plain = std::make_shared<tolsa::bridge::PlainLayout>("bench/plain", std::vector<std::string>{}, false);
    auto round = std::make_shared<uint64_t>(0);
    auto failed = std::make_shared<bool>(false);

    harness.Compare({
        .target = "Sparkplug NDATA encode+publish per changed variable <= 1.5x plain topics",
        .a = {"SparkplugNdata/100of1000", hb::Timed([=](uint64_t n) {
                  for (uint64_t k = 0; k < n; ++k) {
                      Change(*changed, ++*round);
                      const uint64_t now = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::system_clock::now().time_since_epoch()).count());
                      const auto& payload = node->Data(*changed, now);
                      if (!Publish(sparkplugClient, dataTopic, payload.data(), payload.size())) *failed = true;
                  }
              }, hb::Clock::ThreadCpu)},
        .b = {"PlainValues/100of1000", hb::Timed([=](uint64_t n) {
                  for (uint64_t k = 0; k < n; ++k) {
                      Change(*changed, ++*round);
                      const std::string time = IsoTimeNow();
                      for (const auto& message : plain->Changed(*changed, time))
                          if (!Publish(plainClient, message.topic, message.payload.data(), message.payload.size())) *failed = true;
                  }
              }, hb::Clock::ThreadCpu)},
        .goal = hb::AtMost(1.5),
        .unit = "ns/pass of 100",
    });
    const int status = harness.Finish();
    mosquitto_destroy(sparkplugClient);
    mosquitto_destroy(plainClient);
    mosquitto_lib_cleanup();
    if (*failed) {
        std::fputs("tolsa_bench_sparkplug: a publish failed (the broker went away?)\n", stderr);
        return 1;
    }
    return status;
}
