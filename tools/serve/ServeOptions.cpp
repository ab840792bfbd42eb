#include "ServeOptions.h"

#include <charconv>
#include <fstream>

#include "Options.h"

namespace tolsa::serve {

namespace {

// "ADDR:PORT", "[IPv6]:PORT".
std::string ParseListen(const std::string& text, ServeOptions& options) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return "--listen needs ADDR:PORT, not '" + text + "'";
    std::string host = text.substr(0, colon);
    const std::string port = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    int value = -1;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || error != std::errc() || end != port.data() + port.size() || value < 0 || value > 65535)
        return "--listen: '" + port + "' is not a port (0 to 65535)";
    if (host.empty()) return "--listen needs an address before the port";
    options.host = host;
    options.port = value;
    return {};
}

}  // namespace

std::string ParseServeArguments(const std::vector<std::string>& arguments, ServeOptions& options) {
    const tool::ParsedOptions parsed = tool::ParseOptions(
        arguments, {{"--listen", true}, {"--allow-write", true}, {"--token-file", true}, {"--interval", true}});
    if (!parsed.error.empty()) return parsed.error;
    if (!parsed.operands.empty()) return "serve takes no operands ('" + parsed.operands.front() + "')";
    for (const auto& [name, value] : parsed.options) {
        if (name == "--allow-write") {
            if (value.empty()) return "--allow-write needs a pattern";
            options.writable.push_back(value);
        }
    }
    if (const auto listen = parsed.Value("--listen")) {
        if (auto problem = ParseListen(*listen, options); !problem.empty()) return problem;
    }
    if (const auto interval = parsed.Value("--interval")) {
        const auto ms = tool::PositiveNumber(*interval, 60000);
        if (!ms || *ms < 10) return "--interval takes milliseconds from 10 to 60000, not '" + *interval + "'";
        options.intervalMs = static_cast<int>(*ms);
    }
    if (const auto file = parsed.Value("--token-file")) {
        if (file->empty()) return "--token-file needs a file";
        options.tokenFile = *file;
    }
    if (options.tokenFile.empty() && !IsLoopback(options.host))
        return "listening on " + options.host +
               " lets other machines in: give --token-file FILE, whose token every request must bear";
    return {};
}

bool IsLoopback(std::string_view host) {
    if (host == "localhost" || host == "::1") return true;
    // 127.a.b.c, each part a number up to 255.
    if (host.substr(0, 4) != "127.") return false;
    int parts = 0;
    std::size_t at = 0;
    while (at <= host.size()) {
        const auto dot = std::min(host.find('.', at), host.size());
        int value = -1;
        const auto [end, error] = std::from_chars(host.data() + at, host.data() + dot, value);
        if (dot == at || error != std::errc() || end != host.data() + dot || value > 255) return false;
        ++parts;
        at = dot + 1;
    }
    return parts == 4;
}

std::string ReadToken(const std::string& file, std::string& why) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line)) {
        why = "cannot read the token file " + file;
        return {};
    }
    const auto first = line.find_first_not_of(" \t\r");
    const auto last = line.find_last_not_of(" \t\r");
    line = first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
    if (line.empty()) {
        why = "the token file " + file + " holds no token on its first line";
        return {};
    }
    for (const unsigned char c : line) {
        if (c < 0x21 || c == 0x7f) {
            why = "the token in " + file + " holds a blank or control character";
            return {};
        }
    }
    return line;
}

}  // namespace tolsa::serve
