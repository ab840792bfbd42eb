#pragma once
// What the end-to-end tests read back and expect: records as an agent sees
// them through the base pointer, and the lines the library logs.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "AgentProcess.h"
#include "store/VariableRecord.h"
#include "tolsa_version.h"

namespace tolsa::e2e {

constexpr std::size_t kRecordSize = TOLSA_ITEM_SIZE;
constexpr int kValueOffset = offsetof(TolsaVariableRecord, value);

// One record as an agent reads it through the base pointer.
struct RawRecord {
    std::string bytes;  // all 328

    std::string NameField() const { return bytes.substr(0, 256); }
    std::string Name() const { return std::string(bytes.c_str(), strnlen(bytes.data(), 256)); }
    char Type() const { return bytes[256]; }
    std::string Reserved() const { return bytes.substr(257, 3); }
    int32_t Size() const {
        int32_t size;
        std::memcpy(&size, bytes.data() + 260, 4);
        return size;
    }
    std::string Value() const { return bytes.substr(kValueOffset, 64); }
};

inline RawRecord ReadRecord(Agent& agent, int32_t index) {
    return RawRecord{Unhex(agent.Send("raw " + std::to_string(index)))};
}
inline std::string RawValue(Agent& agent, int32_t index) { return ReadRecord(agent, index).Value(); }

// Writes `bytes` into record `index` at `offset`, through the base pointer.
inline std::string Poke(Agent& agent, int32_t index, int offset, const std::string& bytes) {
    return agent.Send("poke " + std::to_string(index) + " " + std::to_string(offset) + " " + Encode(bytes));
}

// The first line of every log.
inline const std::string kBanner = "tolsa v" TOLSA_VERSION "\n";

inline std::string MissLine(const std::string& name) { return "tried to access non-existing variable " + name + "\n"; }
inline std::string RangeLine(int32_t last, int32_t index) {
    return "tried to access variable outside valid range (0 - " + std::to_string(last) + ") " + std::to_string(index) +
           "\n";
}

}  // namespace tolsa::e2e
