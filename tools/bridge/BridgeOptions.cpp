#include "BridgeOptions.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "NodeId.h"
#include "Options.h"

namespace tolsa::bridge {

const char* const kBridgeHelp =
    "usage: tolsa-bridge [--broker URL] [--root TOPIC] [--publish PATTERN]... [--writable PATTERN]...\n"
    "                    [--mirror REMOTE_ROOT]... [--interval MS] [--qos 0|1|2] [--client-id ID]\n"
    "                    [--username NAME] [--password-file FILE] [--cafile FILE] [--cert FILE --key FILE]\n"
    "                    [--json] [--verbose]\n"
    "       tolsa-bridge --sparkplug GROUP_ID/EDGE_NODE_ID [--primary-host HOST_ID] [--publish PATTERN]...\n"
    "                    [--writable PATTERN]... [--interval MS] [broker, user and TLS options] [--verbose]\n\n"
    "Shares the variables of this machine's tolsa area through an MQTT broker.\n\n"
    "  --broker URL        mqtt://HOST[:PORT] or mqtts://HOST[:PORT] (default mqtt://127.0.0.1:1883)\n"
    "  --root TOPIC        topic root (default tolsa/<host name>)\n"
    "  --publish PATTERN   variables to publish, by full name with * ? [..] (default: all)\n"
    "  --writable PATTERN  variables that ROOT/set/<name> (or an NCMD) may write (default: none)\n"
    "  --mirror ROOT       write the values another bridge publishes under ROOT into\n"
    "                      the local variables of the same names\n"
    "  --interval MS       poll period in milliseconds (default 100)\n"
    "  --qos N             MQTT quality of service of every message (default 0)\n"
    "  --client-id ID      MQTT client id (default: chosen by the library)\n"
    "  --username NAME     user name; the password comes from --password-file FILE\n"
    "                      (its first line) or the environment variable TOLSA_MQTT_PASSWORD\n"
    "  --cafile FILE       CA certificates for mqtts:// (default: the system's)\n"
    "  --cert FILE --key FILE  client certificate and key for mqtts://\n"
    "  --json              publish values as JSON objects with type, size, index and time\n"
    "  --verbose           log every connection step and every refused message\n"
    "  --sparkplug GROUP_ID/EDGE_NODE_ID  be a Sparkplug B edge node instead (spBv1.0/GROUP_ID/\n"
    "                      NBIRTH|NDATA|NDEATH|NCMD/EDGE_NODE_ID); not with --root, --json or --mirror\n"
    "  --primary-host ID   with --sparkplug: publish births only while spBv1.0/STATE/ID is online\n\n"
    "Topics: ROOT/status (online/offline, retained), ROOT/value/<name> (retained),\n"
    "ROOT/set/<name> (in), ROOT/error (refused messages).\n\n"
    "Exit status: 0 stopped by SIGINT or SIGTERM, 1 no tolsa area or a failure at\n"
    "run time, 2 a wrong command line, an unreadable file or a bad broker URL.\n";

namespace {

std::optional<int> Number(const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) return std::nullopt;
    return text.str();
}

bool Readable(const std::string& path) { return std::ifstream(path, std::ios::binary).good(); }

}  // namespace

std::optional<BrokerUrl> ParseBrokerUrl(const std::string& text) {
    BrokerUrl url;
    std::string rest;
    if (text.rfind("mqtt://", 0) == 0) {
        rest = text.substr(7);
        url.port = 1883;
    } else if (text.rfind("mqtts://", 0) == 0) {
        rest = text.substr(8);
        url.tls = true;
        url.port = 8883;
    } else {
        return std::nullopt;
    }
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    std::string port;
    if (!rest.empty() && rest[0] == '[') {
        const auto close = rest.find(']');
        if (close == std::string::npos) return std::nullopt;
        url.host = rest.substr(1, close - 1);
        const std::string after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':') return std::nullopt;
            port = after.substr(1);
            if (port.empty()) return std::nullopt;
        }
    } else {
        const auto colon = rest.find(':');
        url.host = rest.substr(0, colon);
        if (colon != std::string::npos) {
            port = rest.substr(colon + 1);
            if (port.empty()) return std::nullopt;
        }
    }
    if (url.host.empty() || url.host.find_first_of("/?#@ ") != std::string::npos) return std::nullopt;
    if (!port.empty()) {
        const auto number = Number(port, 1, 65535);
        if (!number) return std::nullopt;
        url.port = *number;
    }
    return url;
}

ParsedSettings ParseBridgeOptions(const std::vector<std::string>& arguments,
                                  const std::optional<std::string>& environmentPassword) {
    using tool::OptionRule;
    static const std::vector<OptionRule> rules{
        {"--broker", true},   {"--root", true},     {"--publish", true},      {"--writable", true},
        {"--mirror", true},   {"--interval", true}, {"--qos", true},          {"--client-id", true},
        {"--username", true}, {"--password-file", true}, {"--cafile", true},  {"--cert", true},
        {"--key", true},      {"--json", false},    {"--verbose", false},     {"--help", false},
        {"--sparkplug", true}, {"--primary-host", true},
    };
    ParsedSettings result;
    BridgeSettings& s = result.settings;
    const auto parsed = tool::ParseOptions(arguments, rules);
    auto fail = [&](std::string why) {
        if (result.error.empty()) result.error = std::move(why);
    };
    if (!parsed.error.empty()) fail(parsed.error);
    if (!parsed.operands.empty()) fail("unexpected argument '" + parsed.operands.front() + "'");
    // A topic level with a wildcard or an empty root would make a filter of a topic.
    auto checkRoot = [&](const std::string& option, const std::string& root) {
        if (root.empty() || root.find_first_of("+#") != std::string::npos || root.front() == '/' || root.back() == '/')
            fail(option + " '" + root + "' is not a topic root (no + or #, no leading or trailing /)");
    };
    for (const auto& [name, value] : parsed.options) {
        if (name == "--help") {
            s.help = true;
        } else if (name == "--broker") {
            const auto url = ParseBrokerUrl(value);
            if (!url) fail("--broker '" + value + "' is not mqtt://HOST[:PORT] or mqtts://HOST[:PORT]");
            else s.broker = *url;
        } else if (name == "--root") {
            checkRoot(name, value);
            s.root = value;
        } else if (name == "--publish") {
            s.publish.push_back(value);
        } else if (name == "--writable") {
            s.writable.push_back(value);
        } else if (name == "--mirror") {
            checkRoot(name, value);
            s.mirrors.push_back(value);
        } else if (name == "--interval") {
            const auto number = Number(value, 1, 3600000);
            if (!number) fail("--interval '" + value + "' is not a number of milliseconds from 1 to 3600000");
            else s.intervalMs = *number;
        } else if (name == "--qos") {
            const auto number = Number(value, 0, 2);
            if (!number) fail("--qos '" + value + "' is not 0, 1 or 2");
            else s.qos = *number;
        } else if (name == "--client-id") {
            if (value.empty() || value.size() > 65535) fail("--client-id must be 1 to 65535 characters");
            s.clientId = value;
        } else if (name == "--username") {
            s.username = value;
        } else if (name == "--password-file") {
            const auto text = ReadFile(value);
            if (!text) {
                fail("--password-file: cannot read '" + value + "'");
            } else {
                // The first line, without its line end.
                std::string password = text->substr(0, text->find('\n'));
                if (!password.empty() && password.back() == '\r') password.pop_back();
                s.password = password;
            }
        } else if (name == "--cafile" || name == "--cert" || name == "--key") {
            if (!Readable(value)) fail(name + ": cannot read '" + value + "'");
            (name == "--cafile" ? s.cafile : name == "--cert" ? s.certfile : s.keyfile) = value;
        } else if (name == "--json") {
            s.json = true;
        } else if (name == "--verbose") {
            s.verbose = true;
        } else if (name == "--sparkplug") {
            std::string group, node, why;
            if (!sparkplug::ParseNodeId(value, group, node, why)) fail("--sparkplug " + why);
            s.sparkplug = value;
        } else if (name == "--primary-host") {
            if (!sparkplug::ValidId(value)) fail("--primary-host '" + value + "' is not a host id (one topic level)");
            s.primaryHost = value;
        }
    }
    // Sparkplug B fixes the topics and the payloads itself.
    if (!s.sparkplug.empty()) {
        if (!s.root.empty()) fail("--root cannot be combined with --sparkplug: Sparkplug B fixes the topics");
        if (s.json) fail("--json cannot be combined with --sparkplug: Sparkplug B payloads are protobuf");
        if (!s.mirrors.empty())
            fail("--mirror cannot be combined with --sparkplug: a Sparkplug edge node reads only its commands");
    } else if (!s.primaryHost.empty()) {
        fail("--primary-host needs --sparkplug");
    }
    if (!s.password && environmentPassword) s.password = environmentPassword;
    if (s.password && s.username.empty()) fail("a password needs --username");
    if (s.certfile.empty() != s.keyfile.empty()) fail("--cert and --key go together");
    if (!s.broker.tls && (!s.cafile.empty() || !s.certfile.empty()))
        fail("--cafile, --cert and --key need an mqtts:// broker");
    return result;
}

}  // namespace tolsa::bridge
