#pragma once
// The bridge's command line, read into its settings. Files named on it are
// read here, so that every problem with it is found before connecting.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolsa::bridge {

struct BrokerUrl {
    bool tls = false;
    std::string host;
    int port = 0;
};

// mqtt://HOST[:PORT] (port 1883) or mqtts://HOST[:PORT] (8883); HOST may be
// [IPv6]. Nothing on the end but an optional '/'.
std::optional<BrokerUrl> ParseBrokerUrl(const std::string& text);

struct BridgeSettings {
    BrokerUrl broker{false, "127.0.0.1", 1883};
    std::string root;  // empty: tolsa/<host name>
    std::vector<std::string> publish;  // globs; empty: every variable
    std::vector<std::string> writable;
    std::vector<std::string> mirrors;
    int intervalMs = 100;
    int qos = 0;
    std::string clientId;
    std::string username;
    std::optional<std::string> password;
    std::string cafile, certfile, keyfile;
    bool json = false;
    // Sparkplug B instead of the plain topics: GROUP_ID/EDGE_NODE_ID, and
    // the primary host whose STATE gates the births (empty: none).
    std::string sparkplug;
    std::string primaryHost;
    bool verbose = false;
    bool help = false;
};

struct ParsedSettings {
    BridgeSettings settings;
    std::string error;  // the first problem; empty when none
};

// `environmentPassword`: TOLSA_MQTT_PASSWORD, when set.
ParsedSettings ParseBridgeOptions(const std::vector<std::string>& arguments,
                                  const std::optional<std::string>& environmentPassword);

extern const char* const kBridgeHelp;

}  // namespace tolsa::bridge
