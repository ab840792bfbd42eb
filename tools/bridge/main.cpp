// tolsa-bridge: shares the variables of this machine's tolsa area through an
// MQTT broker. It loads the library, so it keeps the area alive while it runs.

#include <mosquitto.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Bridge.h"
#include "BridgeOptions.h"
#include "System.h"
#include "LocalArea.h"
#include "MqttLink.h"
#include "PlainLayout.h"
#include "SparkplugBridge.h"

#if defined(_WIN32)
// Patterns reach the program as typed; the C runtime must not expand them.
int _dowildcard = 0;
#endif

namespace {

constexpr int kExitOk = 0, kExitFailure = 1, kExitUsage = 2;

std::atomic<bool> stopRequested{false};

extern "C" void RequestStop(int) { stopRequested.store(true); }

void StopOnSignals() {
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
#if defined(SIGBREAK)
    std::signal(SIGBREAK, RequestStop);  // Ctrl-Break and console close on Windows
#endif
#if defined(SIGPIPE)
    std::signal(SIGPIPE, SIG_IGN);  // a broker gone mid-write is a lost connection, not the end
#endif
}

int Usage(const std::string& why) {
    std::fprintf(stderr, "tolsa-bridge: %s\n(see tolsa-bridge --help)\n", why.c_str());
    return kExitUsage;
}

int NoArea() {
    std::fputs("tolsa-bridge: no tolsa area is published in this process: check /kestor/iorsh.mem, "
               "/kestor/memsh.mem and /kestor/tolsa_log.txt\n",
               stderr);
    return kExitFailure;
}

// tolsa-bridge --sparkplug: the same order of checks as the plain mode.
int RunSparkplug(const tolsa::bridge::BridgeSettings& settings) {
    tolsa::bridge::LocalArea area;
    tolsa::bridge::SparkplugBridge node(settings, area);
    if (const std::string problem = node.Setup(); !problem.empty()) return Usage(problem);
    if (!area.Published()) return NoArea();
    StopOnSignals();
    node.Run(stopRequested);
    mosquitto_lib_cleanup();
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tolsa::bridge;
    mosquitto_lib_init();
    const char* environmentPassword = std::getenv("TOLSA_MQTT_PASSWORD");
    ParsedSettings parsed = ParseBridgeOptions(std::vector<std::string>(argv + 1, argv + argc),
                                               environmentPassword ? std::optional<std::string>(environmentPassword)
                                                                   : std::nullopt);
    if (!parsed.error.empty()) return Usage(parsed.error);
    BridgeSettings& settings = parsed.settings;
    if (settings.help) {
        std::fputs(kBridgeHelp, stdout);
        return kExitOk;
    }
    if (!settings.sparkplug.empty()) return RunSparkplug(settings);
    if (settings.root.empty()) settings.root = "tolsa/" + HostName();
    for (const auto& mirror : settings.mirrors)
        if (mirror == settings.root) return Usage("--mirror " + mirror + " is this bridge's own root");

    PlainLayout layout(settings.root, settings.mirrors, settings.json);
    MqttLink link(settings, layout.Will(), layout.Subscriptions());
    if (const std::string problem = link.Setup(); !problem.empty()) return Usage(problem);

    LocalArea area;
    if (!area.Published()) return NoArea();

    StopOnSignals();
    Bridge bridge(settings, area, layout, link);
    bridge.Run(stopRequested);
    mosquitto_lib_cleanup();
    return kExitOk;
}
