#include "System.h"

#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#include <winsock2.h>
#define TOLSA_ISATTY _isatty
#define TOLSA_FILENO _fileno
#else
#include <unistd.h>
#define TOLSA_ISATTY isatty
#define TOLSA_FILENO fileno
#endif

namespace tolsa::bridge {

namespace {
bool statusShown = false;
bool StderrIsTerminal() {
    static const bool terminal = TOLSA_ISATTY(TOLSA_FILENO(stderr)) != 0;
    return terminal;
}
}  // namespace

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
    return name;
}

void LogLine(const std::string& line) {
    if (statusShown) std::fputs("\r\033[K", stderr);
    statusShown = false;
    std::fprintf(stderr, "tolsa-bridge: %s\n", line.c_str());
}

void StatusLine(const std::string& line) {
    if (!StderrIsTerminal()) return;
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    statusShown = true;
}

void EndStatusLine() {
    if (statusShown) std::fputs("\n", stderr);
    statusShown = false;
}

}  // namespace tolsa::bridge
