#include "AgentProcess.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <linux/magic.h>

extern char** environ;

namespace tolsa::e2e {

std::vector<std::string> AgentCommand() { return CommandWords("TOLSA_AGENT_COMMAND"); }

namespace {

bool IsPrivateTmpfs(const char* path) {
    struct statfs info {};
    return statfs(path, &info) == 0 && info.f_type == TMPFS_MAGIC;
}

void ClearDirectory(const std::string& directory, const std::string& prefix = "") {
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr) return;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || name.rfind(prefix, 0) != 0) continue;
        const std::string path = directory + "/" + name;
        struct stat status {};
        if (lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
            ClearDirectory(path);
            rmdir(path.c_str());
        } else {
            unlink(path.c_str());
        }
    }
    closedir(dir);
}

}  // namespace

std::string Isolation() {
    if (!IsPrivateTmpfs("/kestor")) return "/kestor is not a tmpfs: run the tests through scripts/isolated.sh";
    if (!IsPrivateTmpfs("/dev/shm")) return "/dev/shm is not a tmpfs: run the tests through scripts/isolated.sh";
    if (std::getenv("TOLSA_ISOLATED") == nullptr) return "not started by scripts/isolated.sh";
    return {};
}

bool AgentIsWindows() {
    const auto command = AgentCommand();
    return command.back().size() > 4 && command.back().compare(command.back().size() - 4, 4, ".exe") == 0;
}

std::vector<std::string> AsNobody() {
    const std::filesystem::path directory = "/dev/shm/agent-as-nobody";
    const std::filesystem::path agent = AgentCommand().back();
    const char* library = std::getenv("TOLSA_AGENT_LIBRARY");
    if (library == nullptr) throw std::runtime_error("TOLSA_AGENT_LIBRARY is not set");
    std::filesystem::create_directories(directory);
    for (const std::filesystem::path& from : {agent, std::filesystem::path(library)})
        std::filesystem::copy_file(from, directory / from.filename(), std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(directory, std::filesystem::perms(0755));
    return {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--",
            "/usr/bin/env", "LD_LIBRARY_PATH=" + directory.string(), (directory / agent.filename()).string()};
}

Agent::Agent() : Agent(AgentCommand()) {}

Agent::Agent(const std::vector<std::string>& command) {
    const std::string why = Isolation();
    if (!why.empty()) throw std::runtime_error(why);
    int in[2], out[2];
    // Close-on-exec: the agent gets them as 0 and 1 only, and wine's long-lived
    // helper processes must not hold them open.
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv;
    for (const auto& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    toAgent_ = in[1];
    fromAgent_ = out[0];
    if (rc != 0) throw std::runtime_error(std::string("cannot start agent: ") + std::strerror(rc));
    // Wine answers only once the program runs: this also waits for start-up.
    if (Send("ping") != "pong") throw std::runtime_error("agent did not answer");
}

Agent::~Agent() {
    if (pid_ > 0) {
        if (Stop() != 0) {
        }
    }
}

std::string Agent::Send(const std::string& line) {
    const std::string message = line + "\n";
    if (write(toAgent_, message.data(), message.size()) != static_cast<ssize_t>(message.size()))
        throw std::runtime_error("agent is gone");
    std::string answer;
    if (!ReadLine(fromAgent_, pending_, answer)) throw std::runtime_error("agent ended while answering: " + line);
    return answer;
}

bool ReadLine(int fd, std::string& pending, std::string& line) {
    for (;;) {
        const std::size_t end = pending.find('\n');
        if (end != std::string::npos) {
            line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return true;
        }
        char buffer[65536];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        pending.append(buffer, static_cast<std::size_t>(n));
    }
}

std::string Agent::Call(const std::string& function, const std::vector<std::string>& args) {
    std::string line = "call " + function;
    for (const auto& arg : args) line += " " + Encode(arg);
    const std::string answer = Send(line);
    if (answer.rfind("ret=", 0) != 0) throw std::runtime_error("agent: " + answer);
    return answer.substr(4);
}

void Agent::Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    close(toAgent_);
    close(fromAgent_);
}

int Agent::Stop() {
    if (pid_ <= 0) return -1;
    const std::string message = "exit\n";
    (void)!write(toAgent_, message.data(), message.size());
    close(toAgent_);
    int status = 0;
    waitpid(pid_, &status, 0);
    close(fromAgent_);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::optional<int> Agent::StopWithin(int code, std::chrono::seconds bound) {
    if (pid_ <= 0) return std::nullopt;
    const std::string message = "exit " + std::to_string(code) + "\n";
    (void)!write(toAgent_, message.data(), message.size());
    close(toAgent_);
    close(fromAgent_);
    const auto deadline = std::chrono::steady_clock::now() + bound;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
            return std::nullopt;
        }
        usleep(10000);
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string Encode(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (c <= ' ' || c == '%' || c >= 0x7F) {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out.empty() ? std::string() : out;
}

std::string CString(const std::string& text) { return text + std::string(1, '\0'); }

std::string Unhex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string OutBytes(const std::string& answer) {
    const std::size_t at = answer.find(" out=");
    return at == std::string::npos ? std::string() : Unhex(answer.substr(at + 5));
}

std::string Result(const std::string& answer) { return answer.substr(0, answer.find(" out=")); }

void WriteKestorFile(const std::string& name, const std::string& content) {
    std::ofstream out("/kestor/" + name, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string ReadKestorFile(const std::string& name) {
    std::ifstream in("/kestor/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void RemoveKestorFile(const std::string& name) { unlink(("/kestor/" + name).c_str()); }

void ClearKestor() {
    if (!Isolation().empty()) return;
    ClearDirectory("/kestor");
    ClearDirectory("/dev/shm", "tolsa");  // wine keeps files of its own there
}

std::vector<std::string> CommandWords(const char* variable) {
    const char* command = std::getenv(variable);
    if (command == nullptr || *command == '\0') throw std::runtime_error(std::string(variable) + " is not set");
    std::vector<std::string> words;
    std::istringstream in(command);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

std::string FoldLineEnds(const std::string& text) {
    std::string folded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        folded.push_back(text[i]);
    }
    return folded;
}

std::string ReadLog() {
    std::string log = ReadKestorFile("tolsa_log.txt");
    return AgentIsWindows() ? FoldLineEnds(log) : log;
}

std::string Marked(const std::string& written) {
    constexpr std::size_t kOutSize = 300;  // the agent's out buffer
    std::string out = written.substr(0, kOutSize);
    out.resize(kOutSize, '\xCC');
    return out;
}

LogTail::LogTail() : seen_(ReadLog().size()) {}

std::string LogTail::Next() {
    const std::string log = ReadLog();
    // A shorter log was rewritten from the start (start-up ran again).
    std::string fresh = log.size() >= seen_ ? log.substr(seen_) : "(log rewritten)" + log;
    seen_ = log.size();
    return fresh;
}

}  // namespace tolsa::e2e
