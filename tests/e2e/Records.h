#pragma once
// Helpers shared by the stress, hostile-file and security end-to-end tests.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "AgentProcess.h"
#include "store/VariableRecord.h"

namespace tolsa::e2e {

// One record as an agent reads it through the base pointer.
struct RawRecord {
    std::string bytes;  // all 328

    std::string Name() const { return std::string(bytes.c_str(), strnlen(bytes.data(), 256)); }
    char Type() const { return bytes[256]; }
    std::string Reserved() const { return bytes.substr(257, 3); }
    int32_t Size() const {
        int32_t size;
        std::memcpy(&size, bytes.data() + 260, 4);
        return size;
    }
    std::string Value() const { return bytes.substr(264, 64); }
};

inline RawRecord ReadRecord(Agent& agent, int32_t index) {
    return RawRecord{Unhex(agent.Send("raw " + std::to_string(index)))};
}

// The words that run an agent as the unprivileged user nobody.
inline std::vector<std::string> AsNobody() {
    return {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
}

}  // namespace tolsa::e2e
