#pragma once
// The command line of `tolsa serve` and the checks made before anything
// listens: the address, the push interval, the write patterns and the token.

#include <string>
#include <string_view>
#include <vector>

namespace tolsa::serve {

struct ServeOptions {
    std::string host = "127.0.0.1";
    int port = 8420;                      // 0: any free port (printed at start)
    std::vector<std::string> writable;    // --allow-write patterns; none: read-only
    std::string tokenFile;                // empty: no bearer token
    int intervalMs = 100;
};

// Fills `options` from the arguments after "serve"; the problem when they are wrong.
std::string ParseServeArguments(const std::vector<std::string>& arguments, ServeOptions& options);

// 127.0.0.0/8, ::1 and "localhost": reachable from this machine only.
bool IsLoopback(std::string_view host);

// The bearer token: the file's first line, without surrounding blanks. Empty,
// with `why` set, when it cannot be read, is empty or holds control characters.
std::string ReadToken(const std::string& file, std::string& why);

}  // namespace tolsa::serve
