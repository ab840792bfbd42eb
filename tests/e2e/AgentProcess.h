#pragma once
// Runs agent processes (tests/e2e/agent.cpp) that load the real library, and
// reads what they leave in /kestor. TOLSA_AGENT_COMMAND names the agent: the
// native program, or the wine runner followed by the Windows program.
// Every test runs in a private mount namespace with tmpfs on /kestor and
// /dev/shm (scripts/isolated.sh); Isolation() checks that before anything.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolsa::e2e {

// Empty when /kestor and /dev/shm are private tmpfs mounts; otherwise why not.
std::string Isolation();

// The words that start the agent: TOLSA_AGENT_COMMAND.
std::vector<std::string> AgentCommand();

// The words that run the native agent as the unprivileged user nobody. The
// agent and its library are copied into the private /dev/shm first, since
// the build may lie where nobody cannot enter (a clone under /root).
std::vector<std::string> AsNobody();

// True when the agent is the Windows build (its log lines end in CR LF).
bool AgentIsWindows();

class Agent {
public:
    Agent();  // starts the agent; it runs start-up as it loads the library
    // Starts the agent as the words of `command` say, the first an absolute
    // path (AsNobody() gives the words that run it as another user).
    explicit Agent(const std::vector<std::string>& command);
    ~Agent();
    Agent(const Agent&) = delete;
    Agent& operator=(const Agent&) = delete;

    // Sends one command line and returns the answer line.
    std::string Send(const std::string& line);
    // "call FUNCTION ARGS...": the part after "ret=".
    std::string Call(const std::string& function, const std::vector<std::string>& args = {});
    // Ends the agent with SIGKILL and waits for it.
    void Kill();
    // Ends the agent with "exit" and waits for it; returns its exit status.
    int Stop();
    // Ends it with "exit CODE" and waits up to `bound`: its exit status, or
    // nothing when it was still there and had to be killed.
    std::optional<int> StopWithin(int code, std::chrono::seconds bound);

private:
    pid_t pid_ = -1;
    int toAgent_ = -1;
    int fromAgent_ = -1;
    std::string pending_;
};

// Percent-encodes bytes for an agent argument (blanks, %, controls, high bytes).
std::string Encode(const std::string& bytes);
// A string argument with its terminator, as write sources take it.
std::string CString(const std::string& text);

// The bytes a hex string stands for.
std::string Unhex(const std::string& hex);

// The "out=" bytes of an answer.
std::string OutBytes(const std::string& answer);
// The number before " out=" (or the whole answer).
std::string Result(const std::string& answer);

// Files in /kestor.
void WriteKestorFile(const std::string& name, const std::string& content);
std::string ReadKestorFile(const std::string& name);
void RemoveKestorFile(const std::string& name);
// Removes everything from /kestor and /dev/shm, so the next test starts clean.
void ClearKestor();

// The next line from a pipe, without its line end (LF or CR LF); `pending`
// keeps what was read beyond it. False when the pipe ends first.
bool ReadLine(int fd, std::string& pending, std::string& line);

// The words of the command line held in an environment variable.
std::vector<std::string> CommandWords(const char* variable);
// Text with every CR LF folded to LF.
std::string FoldLineEnds(const std::string& text);

// The log as written, with CR LF folded to LF for the Windows build, so that
// tests compare one text on both.
std::string ReadLog();

// The bytes an agent's 300-byte out buffer holds when a call wrote exactly
// `written` to its start: the rest keeps the agent's 0xCC marker.
std::string Marked(const std::string& written);

// Follows the log from where it stands now: Next() is what was written since
// the last look, so a test can see each call's line (or none) on its own.
class LogTail {
public:
    LogTail();
    std::string Next();

private:
    std::size_t seen_;
};

}  // namespace tolsa::e2e
