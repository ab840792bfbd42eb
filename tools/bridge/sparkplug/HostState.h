#pragma once
// The primary host's STATE message: {"online":true|false,"timestamp":N},
// retained on spBv1.0/STATE/HOST_ID. Only these two members are read; any
// other member is skipped.

#include <cstdint>
#include <optional>
#include <string_view>

namespace tolsa::sparkplug {

struct HostState {
    bool online = false;
    uint64_t timestamp = 0;  // milliseconds since 1970; 0 when absent
};

// Nothing when `json` is not one object with a Boolean "online".
std::optional<HostState> ParseHostState(std::string_view json);

}  // namespace tolsa::sparkplug
