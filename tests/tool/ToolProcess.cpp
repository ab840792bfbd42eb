#include "ToolProcess.h"

#include "../e2e/AgentProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace tolsa::tooltest {

namespace {

std::vector<std::string> ToolCommand() { return e2e::CommandWords("TOLSA_TOOL_COMMAND"); }

}  // namespace

std::string ToolProgram() { return ToolCommand().back(); }

ToolProcess::ToolProcess(const std::vector<std::string>& arguments) {
    // Close-on-exec, so that only the tool's stdout and stderr reach it:
    // wine's long-lived helpers would otherwise keep copies open for ever.
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    auto words = ToolCommand();
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
    if (rc != 0) throw std::runtime_error(std::string("cannot start the tool: ") + std::strerror(rc));
}

ToolProcess::~ToolProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
    if (err_ >= 0) close(err_);
}

std::string ToolProcess::ReadLine() {
    std::string line;
    if (!e2e::ReadLine(out_, pending_, line)) throw std::runtime_error("the tool ended before a full line: " + pending_);
    return line;
}

void ToolProcess::Signal(int signal) {
    if (pid_ > 0) kill(pid_, signal);
}

ToolResult ToolProcess::Finish() {
    ToolResult result;
    std::string out = pending_, err;
    pending_.clear();
    // Both pipes at once, so that neither can fill up and stall the tool,
    // until both end or the tool has ended and nothing more is waiting: a
    // process the tool started could hold the pipes open after it.
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    std::string* sinks[2] = {&out, &err};
    int status = 0;
    bool ended = false;
    for (int open = 2; open > 0;) {
        const int ready = poll(fds, 2, ended ? 0 : 50);
        if (ready < 0) throw std::runtime_error("poll failed");
        if (ready == 0) {
            if (ended) break;
            ended = waitpid(pid_, &status, WNOHANG) == pid_;
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    if (!ended) waitpid(pid_, &status, 0);
    pid_ = -1;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = e2e::FoldLineEnds(out);
    result.err = e2e::FoldLineEnds(err);
    return result;
}

ToolResult RunTool(const std::vector<std::string>& arguments) { return ToolProcess(arguments).Finish(); }

}  // namespace tolsa::tooltest
