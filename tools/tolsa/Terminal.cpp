#include "Terminal.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tolsa::tool {

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) { interrupted = 1; }

}  // namespace

bool StdoutIsTerminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(fileno(stdout)) != 0;
#endif
}

bool StderrIsTerminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

void EnableEscapeSequences() {
#if defined(_WIN32)
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (out != INVALID_HANDLE_VALUE && GetConsoleMode(out, &mode))
        SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err != INVALID_HANDLE_VALUE && GetConsoleMode(err, &mode))
        SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
#endif
}

void CatchInterrupt() {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

bool Interrupted() { return interrupted != 0; }

void SleepUnlessInterrupted(long milliseconds) {
    using namespace std::chrono;
    const auto end = steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!Interrupted()) {
        const auto left = duration_cast<std::chrono::milliseconds>(end - steady_clock::now());
        if (left.count() <= 0) return;
        std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(50)));
    }
}

namespace {
long long SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

StatusLine::StatusLine() : terminal_(StderrIsTerminal()) {
    if (terminal_) EnableEscapeSequences();
}

StatusLine::~StatusLine() {
    if (shown_) std::fputs("\n", stderr);
}

bool StatusLine::Due() const { return terminal_ && SteadyMs() - lastMs_ >= 250; }

void StatusLine::Show(const std::string& text, bool force) {
    if (!terminal_ || (!force && !Due())) return;
    std::fprintf(stderr, "\r%s\x1b[K", text.c_str());
    std::fflush(stderr);
    shown_ = true;
    lastMs_ = SteadyMs();
}

}  // namespace tolsa::tool
