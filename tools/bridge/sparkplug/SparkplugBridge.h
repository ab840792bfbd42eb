#pragma once
// tolsa-bridge --sparkplug: the bridge's loop as a Sparkplug B edge node. It
// shares the plain bridge's connection, area access and change detection;
// what it publishes and reads is the EdgeNode's.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "BridgeOptions.h"
#include "EdgeNode.h"
#include "LocalArea.h"
#include "MqttLink.h"
#include "Shadow.h"

namespace tolsa::bridge {

class SparkplugBridge {
public:
    SparkplugBridge(const BridgeSettings& settings, LocalArea& area);
    // What keeps the connection from being set up; empty when nothing does.
    std::string Setup();
    // Runs until `stop` is set, then publishes the death certificate and
    // disconnects.
    void Run(const std::atomic<bool>& stop);

private:
    Message Death() const;
    void Birth();
    void PublishChanges();
    void HandleIncoming();
    void OnState(const std::string& payload);
    void OnCommand(const std::string& payload);
    std::vector<codec::Record> AllRecords() const;
    void Log(const std::string& line) const;

    const BridgeSettings& settings_;
    LocalArea& area_;
    sparkplug::Topics topics_;
    std::string stateTopic_;  // empty without --primary-host
    sparkplug::EdgeNode node_;
    Shadow shadow_;
    MqttLink link_;
    std::vector<int32_t> changed_;
    std::vector<codec::Record> changedRecords_;
    bool born_ = false;        // an NBIRTH went out on this connection
    bool hostOnline_ = false;  // the primary host's last STATE
    uint64_t stateTime_ = 0;   // its timestamp: older STATE messages are stale
};

}  // namespace tolsa::bridge
