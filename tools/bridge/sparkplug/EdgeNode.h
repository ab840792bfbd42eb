#pragma once
// The Sparkplug B edge node, without the network: the topics, the birth and
// death certificates with their bdSeq, the data messages with their seq, and
// the reading of commands. The bridge's MQTT session drives it; the unit
// tests drive it directly.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "NodeId.h"
#include "Payload.h"
#include "Record.h"

namespace tolsa::sparkplug {

inline constexpr std::string_view kBdSeq = "bdSeq";
inline constexpr std::string_view kRebirth = "Node Control/Rebirth";

struct Topics {
    std::string birth, data, death, command;
};
Topics TopicsOf(std::string_view group, std::string_view node);
std::string StateTopic(std::string_view host);

// A command, read: what to write and what was refused.
struct Command {
    bool rebirth = false;
    struct Write {
        int32_t index;
        std::array<unsigned char, codec::kValueBytes> bytes;
    };
    std::vector<Write> writes;
    std::vector<std::string> refused;  // one line each: the metric and why
};

class EdgeNode {
public:
    // Which records are published and which may be written, by index.
    EdgeNode(std::vector<bool> published, std::vector<bool> writable);

    // A new connection: bdSeq moves on (0 for the first, wrapping after 255),
    // and its death certificate is what the broker holds as the Will.
    void Connect();
    uint64_t BdSeq() const { return bd_seq_; }
    std::vector<unsigned char> Death(uint64_t now_ms) const;

    // The birth certificate: seq 0, every published record of `records` by
    // name and alias with datatype and value, bdSeq and Rebirth.
    const std::vector<unsigned char>& Birth(const std::vector<codec::Record>& records, uint64_t now_ms);
    // A data message of `changed` (the caller tells changes), by alias
    // alone; empty, with seq unchanged, when `changed` is.
    const std::vector<unsigned char>& Data(const std::vector<codec::Record>& changed, uint64_t now_ms);
    uint64_t Seq() const { return seq_; }

    // A command's payload checked against `records`: Rebirth, or writes of
    // writable variables with their own datatype. Anything else is refused.
    Command ReadCommand(std::span<const unsigned char> payload, const std::vector<codec::Record>& records) const;

private:
    uint64_t NextSeq();

    std::vector<bool> published_, writable_;
    uint64_t bd_seq_ = 255;  // the first Connect makes it 0
    uint64_t seq_ = 0;
    std::vector<OutMetric> metrics_;       // reused between messages
    std::vector<unsigned char> encoded_;
};

}  // namespace tolsa::sparkplug
