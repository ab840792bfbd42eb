// Agent commands of the reliability tests, linked into tests/e2e/agent.cpp:
//   stress SECONDS ID THREADS [nopointers]
//                              starts THREADS threads that read and write every
//                              variable by every route until SECONDS have passed
//                              (without the direct pointers: only the library's
//                              own copies then race); answers "started"
//   stress-result              waits for them; answers "ops=N bad=K" and, when K
//                              is not 0, " first=WHAT" (the first fault seen)
//   fds                        the targets of this process's descriptors, "|"-joined
//   child-fds                  the same, seen by a child made with fork and exec
//
// Writers only ever store bytes of an alphabet: thread t of process ID writes
// the byte ID * 16 + t (both 1 to 9), whole values filled with it, strings made
// of it. Whatever interleaving of copies the area sees, every byte a reader
// finds in a value is then 0 or an alphabet byte, the bytes of a raw value
// beyond its size stay 0 and byte 63 of a string stays NUL; anything else is a
// write that went somewhere it should not.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "tolsa.h"

namespace {

bool AlphabetByte(unsigned char b) {
    const unsigned hi = b >> 4, lo = b & 15u;
    return b == 0 || (hi >= 1 && hi <= 9 && lo >= 1 && lo <= 9);
}

struct Variable {
    std::string name;      // full name
    std::string declared;  // without the prefix
    bool memsh = false;
    char type = 0;
    int32_t size = 0;
};

// What a read may return for a variable: `bytes` as the copy or the field gives them.
bool ValueOk(const Variable& v, const unsigned char* bytes, std::size_t count, bool wholeField) {
    if (v.type == '$') {
        for (std::size_t i = 0; i < count; ++i)
            if (!AlphabetByte(bytes[i])) return false;
        return count < 64 || bytes[63] == 0;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const bool inside = static_cast<int32_t>(i) < v.size;
        if (inside ? !AlphabetByte(bytes[i]) : (wholeField && bytes[i] != 0)) return false;
    }
    return true;
}

class StressRun {
public:
    void Start(double seconds, int id, int threads, bool pointers) {
        pointers_ = pointers;
        const int32_t count = TolsaGetNumberOfItems();
        for (int32_t i = 0; i < count; ++i) {
            char name[256] = {};
            TolsaReadNameVar(i, name);
            Variable v;
            v.name = name;
            v.declared = v.name.size() >= 6 ? v.name.substr(6) : std::string();
            v.memsh = v.name.rfind("MEMSH_", 0) == 0;
            v.type = TolsaGetTypeVar(i);
            v.size = TolsaGetSizeVar(i);
            variables_.push_back(v);
        }
        const auto deadline = std::chrono::steady_clock::now() +
                              std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
        for (int t = 1; t <= threads; ++t)
            threads_.emplace_back([this, deadline, id, t] { Loop(deadline, static_cast<unsigned char>(id * 16 + t)); });
    }

    std::string Result() {
        for (auto& thread : threads_) thread.join();
        threads_.clear();
        std::string answer = "ops=" + std::to_string(ops_.load()) + " bad=" + std::to_string(bad_.load());
        if (bad_.load() != 0) answer += " first=" + firstBad_;
        return answer;
    }

private:
    void Bad(const std::string& what) {
        if (bad_.fetch_add(1) == 0) {
            std::lock_guard lock(mutex_);
            firstBad_ = what;
        }
    }

    void Check(bool ok, const Variable& v, const char* what) {
        if (!ok) Bad(v.name + ":" + what);
    }

    void Loop(std::chrono::steady_clock::time_point deadline, unsigned char mine) {
        if (variables_.empty()) return;
        uint32_t random = 2463534242u * mine;
        auto next = [&random] {
            random ^= random << 13;
            random ^= random >> 17;
            random ^= random << 5;
            return random;
        };
        uint64_t ops = 0;
        while ((ops & 63) != 0 || std::chrono::steady_clock::now() < deadline) {
            const auto index = static_cast<int32_t>(next() % variables_.size());
            const Variable& v = variables_[static_cast<std::size_t>(index)];
            const char* name = v.name.c_str();
            Check(TolsaGetTypeVar(index) == v.type && TolsaGetSizeVar(index) == v.size, v, "type/size by index");
            Check(TolsaGetIdentVarName(name) == index && TolsaGetTypeVarName(name) == v.type &&
                      TolsaGetSizeVarName(name) == v.size,
                  v, "ident/type/size by name");

            unsigned char source[64];
            std::memset(source, mine, sizeof source);
            const std::size_t length = next() % 70;
            // Strings of 0 to 69 characters; raw values get alphabet bytes only,
            // so that a 1-byte value of 0 afterwards means nobody wrote it.
            if (v.type == '$' && length < sizeof source) source[length] = 0;
            unsigned char out[300];
            std::memset(out, 0xCC, sizeof out);
            const uint32_t route = next() % 10;
            switch (pointers_ || (route != 3 && route != 7) ? route : route - 1) {
                case 0:
                    Check(TolsaWriteVar(index, source) == 0, v, "write by index");
                    break;
                case 1:
                    if (v.type == '$' && length >= sizeof source) source[63] = 0;  // by name a string must end
                    Check((v.memsh ? MemShWriteVarName(v.declared.c_str(), source)
                                   : IORShWriteVarName(v.declared.c_str(), source)) == 0 &&
                              TolsaWriteVarName(name, source) == 0,
                          v, "write by name");
                    break;
                case 2: {
                    int32_t word;
                    double wide;
                    std::memcpy(&word, source, sizeof word);
                    std::memcpy(&wide, source, sizeof wide);
                    int32_t result = 0;
                    if (v.type == '$') {
                        source[63] = 0;
                        result = TolsaWriteString(name, reinterpret_cast<const char*>(source));
                    } else if (v.size == 4) {
                        result = TolsaWriteInt32(name, word);
                    } else if (v.size == 8) {
                        result = TolsaWriteDouble(name, wide);
                    } else if (v.size == 2) {
                        result = TolsaWriteVarName(name, source);
                    } else {
                        result = TolsaWriteByte(name, mine);
                    }
                    Check(result == 0, v, "typed write");
                    break;
                }
                case 3: {
                    auto* field = static_cast<unsigned char*>(TolsaGetPointerVarName(name));
                    Check(field == TolsaGetPointer()[index].value, v, "pointer");
                    if (v.type == '$') {
                        const std::size_t n = length < 63 ? length : 62;
                        std::memset(field, mine, n);
                        field[n] = 0;
                    } else {
                        std::memset(field, mine, static_cast<std::size_t>(v.size));
                    }
                    break;
                }
                case 4:
                    Check(TolsaReadVar(index, out) == 0 && ValueOk(v, out, v.type == '$' ? 64 : v.size, false) &&
                              out[v.type == '$' ? 64 : v.size] == 0xCC,
                          v, "read by index");
                    break;
                case 5:
                    Check((v.memsh ? MemShReadVarName(v.declared.c_str(), out)
                                   : IORShReadVarName(v.declared.c_str(), out)) == 0 &&
                              ValueOk(v, out, v.type == '$' ? 64 : v.size, false),
                          v, "read by name");
                    break;
                case 6: {
                    const unsigned char byte = TolsaReadByte(name);
                    const int32_t word = TolsaReadInt32(name);
                    const double wide = TolsaReadDouble(name);
                    unsigned char bytes[8];
                    std::memcpy(bytes, &wide, 8);
                    Check(ValueOk(v, &byte, 1, true) && ValueOk(v, reinterpret_cast<const unsigned char*>(&word), 4, true) &&
                              ValueOk(v, bytes, 8, true),
                          v, "typed read");
                    break;
                }
                case 7:
                    Check(ValueOk(v, TolsaGetPointer()[index].value, 64, true) &&
                              reinterpret_cast<unsigned char*>(TolsaReadStringDirect(name)) == TolsaGetPointer()[index].value,
                          v, "direct read");
                    break;
                case 8: {
                    char full[256];
                    char declared[250];
                    TolsaReadNameVar(index, full);
                    (v.memsh ? MemShReadNameVar : IORShReadNameVar)(index, declared);
                    Check(v.name == full && v.declared == declared, v, "name read");
                    break;
                }
                default:
                    if ((ops & 1023) == 0) Check(TolsaGetSizeVarName("IORSH_ no such") == -1, v, "miss");
                    Check(TolsaReadString(name, reinterpret_cast<char*>(out)) == 0 &&
                              ValueOk(v, out, v.type == '$' ? 64 : v.size, false),
                          v, "read string");
                    break;
            }
            ++ops;
        }
        ops_ += ops;
    }

    bool pointers_ = true;
    std::vector<Variable> variables_;
    std::vector<std::thread> threads_;
    std::atomic<uint64_t> ops_{0};
    std::atomic<uint64_t> bad_{0};
    std::mutex mutex_;
    std::string firstBad_;
};

#ifndef _WIN32
std::string Join(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c == '\n') c = '|';
    return out;
}

std::string OwnDescriptors() {
    std::string out;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return "error opendir";
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        char target[512] = {};
        const std::string path = std::string("/proc/self/fd/") + entry->d_name;
        if (readlink(path.c_str(), target, sizeof target - 1) > 0) out += std::string(target) + "|";
    }
    closedir(dir);
    return out;
}

// A child made as a host program would make one: fork, then exec.
std::string ChildDescriptors() {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return "error pipe";
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execl("/bin/ls", "ls", "-l", "/proc/self/fd", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return Join(text);
}
#endif

}  // namespace

// Answers a reliability command, or returns false when `command` is none of them.
bool RunReliabilityCommand(const std::vector<std::string>& tokens, std::string& answer) {
    static StressRun* run = nullptr;
    const std::string& command = tokens.at(0);
    if (command == "stress") {
        if (run != nullptr) {
            answer = "error stress already running";
            return true;
        }
        run = new StressRun;
        run->Start(std::stod(tokens.at(1)), std::stoi(tokens.at(2)), std::stoi(tokens.at(3)),
                   !(tokens.size() > 4 && tokens[4] == "nopointers"));
        answer = "started";
        return true;
    }
    if (command == "stress-result") {
        if (run == nullptr) {
            answer = "error no stress run";
            return true;
        }
        answer = run->Result();
        delete run;
        run = nullptr;
        return true;
    }
#ifndef _WIN32
    if (command == "fds") {
        answer = OwnDescriptors();
        return true;
    }
    if (command == "child-fds") {
        answer = ChildDescriptors();
        return true;
    }
#endif
    return false;
}
