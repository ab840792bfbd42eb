// tolsa serve: the variables as a live web page, with trend charts.

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "AreaFeed.h"
#include "Commands.h"
#include "ServeOptions.h"
#include "WebServer.h"

namespace tolsa::tool {

const char* const kServeHelp =
    "usage: tolsa serve [--listen ADDR:PORT] [--allow-write PATTERN]... [--token-file FILE]\n"
    "                   [--interval MS]\n\n"
    "Serves a live view of the variables to a web browser: a table of every\n"
    "variable, values changing as they change, and trend charts of the numeric\n"
    "ones. It attaches to the area other processes hold and never creates one;\n"
    "while there is none the page says so and the view waits for one.\n\n"
    "  --listen ADDR:PORT     where to listen (127.0.0.1:8420; port 0: any free\n"
    "                         port). The address it listens on is printed.\n"
    "  --allow-write PATTERN  names matching this pattern ('*', '?', '[a-z]') may\n"
    "                         be set from the page; may be repeated. Without it\n"
    "                         the view is read-only.\n"
    "  --token-file FILE      every request must bear 'Authorization: Bearer T',\n"
    "                         T the first line of FILE. Needed to listen on any\n"
    "                         address but loopback.\n"
    "  --interval MS          how often changes are pushed (100; 10 to 60000)\n\n"
    "Routes: GET / (the page), GET /api/variables, GET /api/variables/NAME,\n"
    "GET /api/events (server-sent events), POST /api/set {\"name\", \"value\"}\n"
    "with the page's X-Tolsa-Csrf header. Errors are JSON {\"error\": ...}: 400 a\n"
    "value that does not parse or fit, 401 no or a wrong bearer token, 403 a\n"
    "name not allowed or no CSRF token, 404 an unknown name or path, 413 a body\n"
    "over 64 KiB, 503 no area.\n"
    "Exit status: 0 stopped by Ctrl-C or SIGTERM, 2 a wrong command line, 4 a\n"
    "token file that cannot be read or holds no token, 5 the address cannot be\n"
    "listened on.\n";

namespace {

constexpr int kExitCannotListen = 5;
std::atomic<bool> stopRequested{false};

extern "C" void OnStopSignal(int) { stopRequested = true; }

}  // namespace

int RunServe(const Arguments& arguments) {
    serve::ServeOptions options;
    if (const std::string problem = serve::ParseServeArguments(arguments, options); !problem.empty())
        return UsageError(kServeHelp, problem);
    std::string bearer;
    if (!options.tokenFile.empty()) {
        std::string why;
        bearer = serve::ReadToken(options.tokenFile, why);
        if (bearer.empty()) {
            Complain(why);
            return kExitFile;
        }
    }
    serve::AreaFeed feed(options.writable, std::chrono::milliseconds(options.intervalMs));
    serve::WebServer server(feed, bearer, serve::RandomToken());
    std::string why;
    const int port = server.Bind(options.host, options.port, why);
    if (port < 0) {
        Complain(why);
        return kExitCannotListen;
    }
    const bool v6 = options.host.find(':') != std::string::npos;
    std::printf("tolsa serve: http://%s%s%s:%d/ (%s%s)\n", v6 ? "[" : "", options.host.c_str(), v6 ? "]" : "", port,
                options.writable.empty() ? "read-only" : "writes allowed by pattern",
                bearer.empty() ? "" : ", bearer token required");
    std::fflush(stdout);

    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    feed.Start();
    std::thread stopper([&] {
        while (!stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        // The streams end first, so that no worker is left waiting on them.
        feed.Stop();
        server.Stop();
    });
    server.Run();
    stopRequested = true;
    stopper.join();
    return kExitOk;
}

}  // namespace tolsa::tool
