// A process that loads the real library and runs one command per stdin line,
// answering with one line. The end-to-end tests drive it, natively and as a
// Windows program under wine, so both builds see exactly the same calls.
//
// Commands (arguments separated by single blanks, percent-encoded: %XX):
//   call FUNCTION ARG...  calls an export; answers "ret=R" and, for functions
//                         that fill a buffer, " out=HEX" (300 bytes, which
//                         were 0xCC before the call)
//   raw INDEX             the 328 bytes of a record, as HEX, through the base pointer
//   poke INDEX OFFSET BYTES  writes BYTES into a record through the base pointer
//   thread                starts and joins one thread
//   base                  TolsaGetPointer() as 16 upper-case hex digits
//   ping                  answers "pong"
//   stress ..., fds, ...  the reliability commands of AgentReliability.cpp
//   miss-threads ...      the liveness commands of AgentLiveness.cpp
//   exit [CODE]           returns CODE (0 by default) from main
// Write sources are the decoded bytes at the start of a 512-byte buffer of
// 0xEE bytes: a string argument carries its own %00. Pointers answer "null",
// or "+N", their distance from TolsaGetPointer(). Characters answer their
// code, doubles "%.17g".

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tolsa.h"

// AgentReliability.cpp and AgentLiveness.cpp: false when `tokens` is none of their commands.
bool RunReliabilityCommand(const std::vector<std::string>& tokens, std::string& answer);
bool RunLivenessCommand(const std::vector<std::string>& tokens, std::string& answer);

namespace {

constexpr std::size_t kOutSize = 300;
constexpr std::size_t kSourceSize = 512;

std::string Decode(const std::string& token) {
    std::string out;
    for (std::size_t i = 0; i < token.size(); ++i) {
        if (token[i] == '%' && i + 2 < token.size()) {
            out.push_back(static_cast<char>(std::stoi(token.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(token[i]);
        }
    }
    return out;
}

std::string Hex(const void* data, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 15]);
    }
    return out;
}

std::string Pointer(const void* p) {
    if (p == nullptr) return "null";
    const auto* base = reinterpret_cast<const unsigned char*>(TolsaGetPointer());
    return "+" + std::to_string(static_cast<const unsigned char*>(p) - base);
}

std::string Char(char c) { return std::to_string(static_cast<unsigned char>(c)); }

std::string Double(double d) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", d);
    return text;
}

struct Args {
    std::vector<std::string> values;
    std::string Str(std::size_t i) const { return values.at(i); }
    int32_t Int(std::size_t i) const { return static_cast<int32_t>(std::stoll(values.at(i))); }
    double Dbl(std::size_t i) const { return std::stod(values.at(i)); }
};

struct Source {
    unsigned char bytes[kSourceSize];
    explicit Source(const std::string& data) {
        std::memset(bytes, 0xEE, sizeof bytes);
        std::memcpy(bytes, data.data(), std::min(data.size(), sizeof bytes));
    }
};

// Call first, then Text(): the operands of + have no fixed order.
struct Out {
    unsigned char bytes[kOutSize];
    Out() { std::memset(bytes, 0xCC, sizeof bytes); }
    std::string Text() const { return " out=" + Hex(bytes, sizeof bytes); }
};

using Handler = std::function<std::string(const Args&)>;

std::map<std::string, Handler> Handlers() {
    std::map<std::string, Handler> h;
    auto intName = [&](const char* n, int32_t (*f)(const char*)) {
        h[n] = [f](const Args& a) { return std::to_string(f(a.Str(0).c_str())); };
    };
    auto intIndex = [&](const char* n, int32_t (*f)(int32_t)) {
        h[n] = [f](const Args& a) { return std::to_string(f(a.Int(0))); };
    };
    auto charName = [&](const char* n, char (*f)(const char*)) {
        h[n] = [f](const Args& a) { return Char(f(a.Str(0).c_str())); };
    };
    auto charIndex = [&](const char* n, char (*f)(int32_t)) {
        h[n] = [f](const Args& a) { return Char(f(a.Int(0))); };
    };
    auto writeName = [&](const char* n, int32_t (*f)(const char*, const void*)) {
        h[n] = [f](const Args& a) {
            Source s(a.Str(1));
            return std::to_string(f(a.Str(0).c_str(), s.bytes));
        };
    };
    auto writeIndex = [&](const char* n, int32_t (*f)(int32_t, const void*)) {
        h[n] = [f](const Args& a) {
            Source s(a.Str(1));
            return std::to_string(f(a.Int(0), s.bytes));
        };
    };
    auto readName = [&](const char* n, int32_t (*f)(const char*, void*)) {
        h[n] = [f](const Args& a) {
            Out o;
            const int32_t result = f(a.Str(0).c_str(), o.bytes);
            return std::to_string(result) + o.Text();
        };
    };
    auto readIndex = [&](const char* n, int32_t (*f)(int32_t, void*)) {
        h[n] = [f](const Args& a) {
            Out o;
            const int32_t result = f(a.Int(0), o.bytes);
            return std::to_string(result) + o.Text();
        };
    };
    auto nameIndex = [&](const char* n, int32_t (*f)(int32_t, char*)) {
        h[n] = [f](const Args& a) {
            Out o;
            const int32_t result = f(a.Int(0), reinterpret_cast<char*>(o.bytes));
            return std::to_string(result) + o.Text();
        };
    };
    auto noArgs = [&](const char* n, int32_t (*f)(void)) {
        h[n] = [f](const Args&) { return std::to_string(f()); };
    };

    h["TolsaGetPointer"] = [](const Args&) { return TolsaGetPointer() == nullptr ? std::string("null") : std::string("+0"); };
    noArgs("TolsaGetNumberOfItems", TolsaGetNumberOfItems);
    noArgs("TolsaGetItemSize", TolsaGetItemSize);
    noArgs("TolsaOpen", TolsaOpen);
    noArgs("TolsaClose", TolsaClose);
    intName("TolsaGetIdentVarName", TolsaGetIdentVarName);
    charIndex("TolsaGetTypeVar", TolsaGetTypeVar);
    charName("TolsaGetTypeVarName", TolsaGetTypeVarName);
    intIndex("TolsaGetSizeVar", TolsaGetSizeVar);
    intName("TolsaGetSizeVarName", TolsaGetSizeVarName);
    writeIndex("TolsaWriteVar", TolsaWriteVar);
    writeName("TolsaWriteVarName", TolsaWriteVarName);
    readIndex("TolsaReadVar", TolsaReadVar);
    readName("TolsaReadVarName", TolsaReadVarName);
    nameIndex("TolsaReadNameVar", TolsaReadNameVar);
    h["TolsaGetPointerVarName"] = [](const Args& a) { return Pointer(TolsaGetPointerVarName(a.Str(0).c_str())); };
    h["TolsaReadByte"] = [](const Args& a) { return std::to_string(TolsaReadByte(a.Str(0).c_str())); };
    intName("TolsaReadInt32", TolsaReadInt32);
    h["TolsaReadDouble"] = [](const Args& a) { return Double(TolsaReadDouble(a.Str(0).c_str())); };
    h["TolsaReadString"] = [](const Args& a) {
        Out o;
        const int32_t result = TolsaReadString(a.Str(0).c_str(), reinterpret_cast<char*>(o.bytes));
        return std::to_string(result) + o.Text();
    };
    h["TolsaReadStringDirect"] = [](const Args& a) { return Pointer(TolsaReadStringDirect(a.Str(0).c_str())); };
    h["TolsaWriteByte"] = [](const Args& a) {
        return std::to_string(TolsaWriteByte(a.Str(0).c_str(), static_cast<unsigned char>(a.Int(1))));
    };
    h["TolsaWriteInt32"] = [](const Args& a) { return std::to_string(TolsaWriteInt32(a.Str(0).c_str(), a.Int(1))); };
    h["TolsaWriteDouble"] = [](const Args& a) { return std::to_string(TolsaWriteDouble(a.Str(0).c_str(), a.Dbl(1))); };
    h["TolsaWriteString"] = [](const Args& a) {
        Source s(a.Str(1));
        return std::to_string(TolsaWriteString(a.Str(0).c_str(), reinterpret_cast<const char*>(s.bytes)));
    };

#define TOLSA_AGENT_FAMILY(F)                                                                 \
    h[#F "Open"] = [](const Args&) { return std::to_string(F##Open(nullptr)); };             \
    noArgs(#F "Close", F##Close);                                                             \
    noArgs(#F "ReadApplicationCount", F##ReadApplicationCount);                               \
    intName(#F "GetIdentVarName", F##GetIdentVarName);                                        \
    charIndex(#F "GetTypeVar", F##GetTypeVar);                                                \
    charName(#F "GetTypeVarName", F##GetTypeVarName);                                         \
    intIndex(#F "GetSizeVar", F##GetSizeVar);                                                 \
    intName(#F "GetSizeVarName", F##GetSizeVarName);                                          \
    writeIndex(#F "WriteVar", F##WriteVar);                                                   \
    writeName(#F "WriteVarName", F##WriteVarName);                                            \
    readIndex(#F "ReadVar", F##ReadVar);                                                      \
    readName(#F "ReadVarName", F##ReadVarName);                                               \
    nameIndex(#F "ReadNameVar", F##ReadNameVar);
    TOLSA_AGENT_FAMILY(IORSh)
    TOLSA_AGENT_FAMILY(MemSh)
#undef TOLSA_AGENT_FAMILY
    return h;
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> tokens;
    std::size_t start = 0;
    for (;;) {
        const std::size_t blank = line.find(' ', start);
        tokens.push_back(line.substr(start, blank - start));
        if (blank == std::string::npos) return tokens;
        start = blank + 1;
    }
}

TolsaVariableRecord* Record(int32_t index) { return TolsaGetPointer() + index; }

std::string Run(const std::map<std::string, Handler>& handlers, const std::vector<std::string>& tokens) {
    const std::string& command = tokens.at(0);
    Args args;
    for (std::size_t i = 2; i < tokens.size(); ++i) args.values.push_back(Decode(tokens[i]));
    if (command == "call") {
        const auto found = handlers.find(tokens.at(1));
        if (found == handlers.end()) return "error unknown function " + tokens.at(1);
        return "ret=" + found->second(args);
    }
    if (command == "raw") return Hex(Record(std::stoi(tokens.at(1))), sizeof(TolsaVariableRecord));
    if (command == "poke") {
        const std::string bytes = Decode(tokens.at(3));
        std::memcpy(reinterpret_cast<unsigned char*>(Record(std::stoi(tokens.at(1)))) + std::stoi(tokens.at(2)),
                    bytes.data(), bytes.size());
        return "ok";
    }
    if (command == "thread") {
        std::thread([] {}).join();
        return "ok";
    }
    if (command == "base") {
        static const char digits[] = "0123456789ABCDEF";
        auto address = reinterpret_cast<uintptr_t>(TolsaGetPointer());
        std::string text(16, '0');
        for (std::size_t i = text.size(); i-- > 0; address >>= 4) text[i] = digits[address & 15];
        return text;
    }
    if (command == "ping") return "pong";
    if (std::string answer; RunReliabilityCommand(tokens, answer) || RunLivenessCommand(tokens, answer)) return answer;
    return "error unknown command " + command;
}

}  // namespace

int main() {
    const auto handlers = Handlers();
    int exitCode = 0;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const auto tokens = Split(line);
        if (tokens[0] == "exit") {
            if (tokens.size() > 1) exitCode = std::stoi(tokens[1]);
            break;
        }
        std::string answer;
        try {
            answer = Run(handlers, tokens);
        } catch (const std::exception& e) {
            answer = std::string("error ") + e.what();
        }
        std::cout << answer << '\n' << std::flush;
    }
    return exitCode;
}
