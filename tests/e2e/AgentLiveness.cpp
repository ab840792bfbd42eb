// Agent commands of the liveness tests, linked into tests/e2e/agent.cpp:
//   miss-threads THREADS MS NAME  THREADS threads call TolsaReadVarName with
//                              NAME + one 'x' per thread number until MS
//                              milliseconds have passed, so that all stop
//                              together, while this one keeps reading the
//                              log; answers "ok" once all have ended, or
//                              "torn LINE" with the first line that held a
//                              NUL byte (a read that spans a truncation can
//                              see lines cut, but never a NUL byte)
//   spin-miss NAME             a detached thread calls TolsaReadVarName(NAME)
//                              until the process ends; answers "started"
//   close-fds                  closes every descriptor from 3 up, as a daemon
//                              does after start; answers "ok" (Linux)
//   fork-calls FORKS BOUND_MS  while a thread calls TolsaReadVarName in a loop
//                              (inside start-up and the log most of the time
//                              when nothing is published), forks FORKS children
//                              that each make one call and exit; a child not
//                              gone within BOUND_MS is killed and ends the run.
//                              Answers "forks=N hung=K" (Linux)

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "tolsa.h"

namespace {

void ReadByName(const std::string& name) {
    unsigned char out[300];
    TolsaReadVarName(name.c_str(), out);
}

// The first line of the log that holds a NUL byte, at most 80 bytes of it,
// with each NUL shown as "\0"; empty when none does.
std::string LineWithNul() {
    std::ifstream in("/kestor/tolsa_log.txt", std::ios::binary);
    const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t nul = log.find('\0');
    if (nul == std::string::npos) return {};
    const std::size_t start = log.rfind('\n', nul) == std::string::npos ? 0 : log.rfind('\n', nul) + 1;
    std::string shown;
    for (char c : log.substr(start, std::min<std::size_t>(log.find('\n', nul) - start, 80))) shown += c == '\0' ? std::string("\\0") : std::string(1, c);
    return shown;
}

#ifndef _WIN32
// Waits for `child` up to `bound`; false (and the child killed) when it is still there.
bool Reaped(pid_t child, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    for (;;) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) return true;
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return false;
}

std::string ForkCalls(int forks, std::chrono::milliseconds bound) {
    std::atomic<bool> stop{false};
    std::thread caller([&stop] {
        while (!stop.load()) ReadByName("IORSH_fork_caller");
    });
    int done = 0, hung = 0;
    for (; done < forks && hung == 0; ++done) {
        const pid_t child = fork();
        if (child == 0) {
            TolsaGetNumberOfItems();
            ReadByName("IORSH_fork_child");
            _exit(0);
        }
        if (child < 0) break;
        if (!Reaped(child, bound)) ++hung;
    }
    stop = true;
    caller.join();
    return "forks=" + std::to_string(done) + " hung=" + std::to_string(hung);
}
#endif

}  // namespace

// Answers a liveness command, or returns false when `tokens` is none of them.
bool RunLivenessCommand(const std::vector<std::string>& tokens, std::string& answer) {
    const std::string& command = tokens.at(0);
    if (command == "miss-threads") {
        const int threads = std::stoi(tokens.at(1));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::stoi(tokens.at(2)));
        std::vector<std::thread> running;
        for (int t = 1; t <= threads; ++t) {
            const std::string name = tokens.at(3) + std::string(static_cast<std::size_t>(t), 'x');
            running.emplace_back([name, deadline] {
                while (std::chrono::steady_clock::now() < deadline) ReadByName(name);
            });
        }
        std::string torn;
        while (torn.empty() && std::chrono::steady_clock::now() < deadline) torn = LineWithNul();
        for (auto& thread : running) thread.join();
        answer = torn.empty() ? "ok" : "torn " + torn;
        return true;
    }
    if (command == "spin-miss") {
        std::thread([name = tokens.at(1)] {
            for (;;) ReadByName(name);
        }).detach();
        answer = "started";
        return true;
    }
#ifndef _WIN32
    if (command == "close-fds") {
        closefrom(3);
        answer = "ok";
        return true;
    }
    if (command == "fork-calls") {
        answer = ForkCalls(std::stoi(tokens.at(1)), std::chrono::milliseconds(std::stoi(tokens.at(2))));
        return true;
    }
#endif
    return false;
}
