#pragma once
// The bridge's loop: serve the connection, apply what arrived, and on every
// interval publish the values whose bytes changed since the last pass.

#include <atomic>
#include <string>
#include <vector>

#include "BridgeOptions.h"
#include "Layout.h"
#include "LocalArea.h"
#include "MqttLink.h"
#include "Shadow.h"

namespace tolsa::bridge {

// The records whose names match `patterns` (all when there are none), as a
// shadow: all 64 bytes of a string's field, `size` of any other letter.
Shadow Watched(const LocalArea& area, const std::vector<std::string>& patterns);

// "2026-05-01T12:00:00.123Z" for the time `now`.
std::string IsoTime(std::chrono::system_clock::time_point now);

class Bridge {
public:
    Bridge(const BridgeSettings& settings, LocalArea& area, Layout& layout, MqttLink& link);
    // Runs until `stop` is set, then publishes the will's payload and
    // disconnects.
    void Run(const std::atomic<bool>& stop);

private:
    void Birth();
    void PublishChanges();
    void ApplyIncoming();
    void Refuse(const Message& message, const std::string& why);
    bool Matches(const std::vector<std::string>& patterns, const std::string& name) const;
    std::vector<codec::Record> RecordsAt(const std::vector<int32_t>& positions) const;

    const BridgeSettings& settings_;
    LocalArea& area_;
    Layout& layout_;
    MqttLink& link_;
    Shadow shadow_;
    std::vector<int32_t> changed_;
    uint64_t published_ = 0, applied_ = 0, refused_ = 0;  // for the status line
};

}  // namespace tolsa::bridge
