#pragma once
// The topic layout and payload format of the bridge, behind one interface so
// the loop (poll, shadow, connection) never knows how values look on the wire.
// PlainLayout is the ROOT/value/<name> layout; another layout replaces it whole.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Record.h"

namespace tolsa::bridge {

struct Message {
    std::string topic;
    std::string payload;
    bool retain = false;
};

// What an incoming message asks of the local variables.
struct Incoming {
    enum class Kind { Set, Mirror } kind = Kind::Set;
    std::string name;  // full variable name
    std::string text;  // the value as `tolsa set` takes it
};

// A message the layout could not turn into requests: why.
struct Decoded {
    std::vector<Incoming> requests;
    std::string error;  // non-empty: the message is refused as a whole
};

class Layout {
public:
    virtual ~Layout() = default;
    // The Last Will, set before every connect; also published on a clean stop.
    virtual Message Will() const = 0;
    // Topic filters to subscribe to after each connect.
    virtual std::vector<std::string> Subscriptions() const = 0;
    // Everything published after each connect: status and every value.
    virtual std::vector<Message> Birth(const std::vector<codec::Record>& records, std::string_view time) = 0;
    // Values whose bytes changed since the last pass.
    virtual std::vector<Message> Changed(const std::vector<codec::Record>& records, std::string_view time) = 0;
    // A message from a subscription.
    virtual Decoded Decode(std::string_view topic, std::string_view payload) const = 0;
    // The report of a refused message.
    virtual Message Refusal(std::string_view topic, std::string_view payload, std::string_view why) const = 0;
};

}  // namespace tolsa::bridge
