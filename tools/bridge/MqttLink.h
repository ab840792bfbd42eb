#pragma once
// The connection to the broker through libmosquitto, run from the bridge's
// own thread (no library thread): connects, reconnects with backoff,
// subscribes after each connect, and queues what arrives.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "Backoff.h"
#include "BridgeOptions.h"
#include "Layout.h"

struct mosquitto;
struct mosquitto_message;

namespace tolsa::bridge {

class MqttLink {
public:
    using Clock = std::chrono::steady_clock;

    MqttLink(const BridgeSettings& settings, Message will, std::vector<std::string> subscriptions);
    ~MqttLink();
    MqttLink(const MqttLink&) = delete;
    MqttLink& operator=(const MqttLink&) = delete;

    // Applies the settings to the client; an error names what cannot be
    // used (for example mqtts:// on a build without TLS).
    std::string Setup();

    // Connects when an attempt is due, then lets the library read and write
    // for at most `timeout`.
    void Service(std::chrono::milliseconds timeout);
    // True once after every connect the broker accepted and every
    // subscription it acknowledged: time for the birth.
    bool TakeBirthDue();
    bool Ready() const { return state_ == State::Ready; }

    void Publish(const Message& message);
    std::vector<Message> TakeIncoming();

    // Publishes `last` and disconnects cleanly, waiting at most `limit`.
    void Stop(const Message& last, std::chrono::milliseconds limit);
    // Stop, then connect again at once (Sparkplug: the primary host went away).
    void Restart(const Message& last, std::chrono::milliseconds limit);
    // Called before every connection attempt; what it returns becomes the
    // Will (Sparkplug: a death certificate with the attempt's bdSeq).
    void SetWillSource(std::function<Message()> source) { willSource_ = std::move(source); }

private:
    enum class State { Idle, Connecting, Subscribing, Ready };
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnSubscribe(mosquitto*, void* self, int mid, int count, const int* granted);
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);
    static void OnPublish(mosquitto*, void* self, int mid);
    static void OnLog(mosquitto*, void* self, int level, const char* text);
    void Lost(const std::string& why);
    void Log(const std::string& line, bool always) const;

    const BridgeSettings& settings_;
    Message will_;
    std::vector<std::string> subscriptions_;
    mosquitto* client_ = nullptr;
    State state_ = State::Idle;
    bool everConnected_ = false;
    bool birthDue_ = false;
    int pendingSubscriptions_ = 0;
    int awaitedMid_ = -1;
    bool awaitedDone_ = false;
    bool stopping_ = false;
    bool disconnected_ = false;
    Backoff backoff_;
    Clock::time_point nextAttempt_{};
    std::vector<Message> incoming_;
    std::function<Message()> willSource_;
};

}  // namespace tolsa::bridge
