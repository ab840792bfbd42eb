#pragma once
// The HTTP side of `tolsa serve`: the page, the JSON routes, the event stream
// and the write route, with the bearer token and the page's CSRF token checked.

#include <memory>
#include <string>

#include "AreaFeed.h"

namespace tolsa::serve {

inline constexpr std::size_t kMaxBody = 64 * 1024;

class WebServer {
public:
    // `bearerToken` empty: no Authorization needed. `csrfToken` goes into the page.
    WebServer(AreaFeed& feed, std::string bearerToken, std::string csrfToken);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Binds the socket; the port actually bound (port 0: one the system chose),
    // or -1 with `why` set.
    int Bind(const std::string& host, int port, std::string& why);
    void Run();   // serves until Stop()
    void Stop();  // from any thread

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A fresh random token of 32 hex digits.
std::string RandomToken();

}  // namespace tolsa::serve
