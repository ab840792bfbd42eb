#include "MqttLink.h"

#include "System.h"

#include <mosquitto.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>

namespace tolsa::bridge {

namespace {
constexpr int kKeepAliveSeconds = 30;

std::string Describe(int rc) { return mosquitto_strerror(rc); }
}  // namespace

MqttLink::MqttLink(const BridgeSettings& settings, Message will, std::vector<std::string> subscriptions)
    : settings_(settings), will_(std::move(will)), subscriptions_(std::move(subscriptions)) {
    client_ = mosquitto_new(settings_.clientId.empty() ? nullptr : settings_.clientId.c_str(), true, this);
}

MqttLink::~MqttLink() {
    if (client_ != nullptr) mosquitto_destroy(client_);
}

std::string MqttLink::Setup() {
    if (client_ == nullptr) return "cannot create an MQTT client (out of memory)";
    mosquitto_connect_callback_set(client_, &MqttLink::OnConnect);
    mosquitto_disconnect_callback_set(client_, &MqttLink::OnDisconnect);
    mosquitto_subscribe_callback_set(client_, &MqttLink::OnSubscribe);
    mosquitto_message_callback_set(client_, &MqttLink::OnMessage);
    mosquitto_publish_callback_set(client_, &MqttLink::OnPublish);
    // The library's own errors (a TLS handshake that failed, and why) go to
    // stderr; the rest of its log only with --verbose.
    mosquitto_log_callback_set(client_, &MqttLink::OnLog);
    // Without it a small message waits for the previous one's ACK (Nagle).
    mosquitto_int_option(client_, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    int rc = mosquitto_will_set(client_, will_.topic.c_str(), static_cast<int>(will_.payload.size()),
                                will_.payload.data(), settings_.qos, will_.retain);
    if (rc != MOSQ_ERR_SUCCESS) return "cannot use the status topic '" + will_.topic + "': " + Describe(rc);
    if (!settings_.username.empty()) {
        rc = mosquitto_username_pw_set(client_, settings_.username.c_str(),
                                       settings_.password ? settings_.password->c_str() : nullptr);
        if (rc != MOSQ_ERR_SUCCESS) return "cannot use the user name: " + Describe(rc);
    }
    if (settings_.broker.tls) {
        const char* noTls = "this build of tolsa-bridge has no TLS support: mqtts:// cannot be used";
        if (settings_.cafile.empty()) {
            rc = mosquitto_int_option(client_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
            if (rc == MOSQ_ERR_NOT_SUPPORTED) return noTls;
        }
        rc = mosquitto_tls_set(client_, settings_.cafile.empty() ? nullptr : settings_.cafile.c_str(), nullptr,
                               settings_.certfile.empty() ? nullptr : settings_.certfile.c_str(),
                               settings_.keyfile.empty() ? nullptr : settings_.keyfile.c_str(), nullptr);
        if (rc == MOSQ_ERR_NOT_SUPPORTED) return noTls;
        if (rc != MOSQ_ERR_SUCCESS) return "cannot use the TLS files: " + Describe(rc);
    }
    return {};
}

void MqttLink::Log(const std::string& line, bool always) const {
    if (always || settings_.verbose) LogLine(line);
}

void MqttLink::Service(std::chrono::milliseconds timeout) {
    if (state_ == State::Idle) {
        const auto now = Clock::now();
        if (now < nextAttempt_) {
            std::this_thread::sleep_for(std::min<Clock::duration>(timeout, nextAttempt_ - now));
            return;
        }
        if (willSource_) {
            will_ = willSource_();
            mosquitto_will_set(client_, will_.topic.c_str(), static_cast<int>(will_.payload.size()), will_.payload.data(),
                               settings_.qos, will_.retain);
        }
        Log("connecting to " + settings_.broker.host + ":" + std::to_string(settings_.broker.port), false);
        state_ = State::Connecting;
        const int rc = mosquitto_connect(client_, settings_.broker.host.c_str(), settings_.broker.port, kKeepAliveSeconds);
        if (rc != MOSQ_ERR_SUCCESS) {
            Lost("cannot connect to " + settings_.broker.host + ":" + std::to_string(settings_.broker.port) + ": " +
                 (rc == MOSQ_ERR_ERRNO ? std::string(std::strerror(errno)) : Describe(rc)));
            return;
        }
    }
    const int rc = mosquitto_loop(client_, static_cast<int>(timeout.count()), 1);
    if (rc != MOSQ_ERR_SUCCESS)
        Lost("connection lost: " + (rc == MOSQ_ERR_ERRNO ? std::string(std::strerror(errno)) : Describe(rc)));
}

void MqttLink::Lost(const std::string& why) {
    if (state_ == State::Idle || stopping_) return;
    state_ = State::Idle;
    const auto delay = backoff_.Next();
    nextAttempt_ = Clock::now() + delay;
    Log(why + "; retrying in " + std::to_string(delay.count()) + " ms", true);
}

bool MqttLink::TakeBirthDue() { return std::exchange(birthDue_, false); }

void MqttLink::Publish(const Message& message) {
    if (state_ != State::Ready) return;
    const int rc = mosquitto_publish(client_, nullptr, message.topic.c_str(), static_cast<int>(message.payload.size()),
                                     message.payload.data(), settings_.qos, message.retain);
    if (rc == MOSQ_ERR_INVAL || rc == MOSQ_ERR_MALFORMED_UTF8)
        Log("cannot publish to '" + message.topic + "': " + Describe(rc), false);
}

std::vector<Message> MqttLink::TakeIncoming() { return std::exchange(incoming_, {}); }

void MqttLink::Stop(const Message& last, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    if (state_ != State::Ready && state_ != State::Subscribing) return;
    stopping_ = true;
    int mid = 0;
    if (mosquitto_publish(client_, &mid, last.topic.c_str(), static_cast<int>(last.payload.size()), last.payload.data(),
                          settings_.qos, last.retain) == MOSQ_ERR_SUCCESS) {
        awaitedMid_ = mid;
        awaitedDone_ = false;
        // QoS 0 is done once written; 1 and 2 once the broker acknowledged it.
        while (!awaitedDone_ && Clock::now() < deadline) {
            if (mosquitto_loop(client_, 10, 1) != MOSQ_ERR_SUCCESS) break;
            if (settings_.qos == 0 && !mosquitto_want_write(client_)) break;
        }
    }
    disconnected_ = false;
    if (mosquitto_disconnect(client_) == MOSQ_ERR_SUCCESS)
        while (!disconnected_ && Clock::now() < deadline)
            if (mosquitto_loop(client_, 10, 1) != MOSQ_ERR_SUCCESS) break;
    state_ = State::Idle;
    Log("disconnected", false);
}

void MqttLink::Restart(const Message& last, std::chrono::milliseconds limit) {
    Stop(last, limit);
    stopping_ = false;
    nextAttempt_ = Clock::now();
}

void MqttLink::OnConnect(mosquitto*, void* self, int rc) {
    auto& link = *static_cast<MqttLink*>(self);
    if (rc != 0) {
        link.Lost(std::string("the broker refused the connection: ") + mosquitto_connack_string(rc));
        mosquitto_disconnect(link.client_);
        return;
    }
    link.Log("connected to " + link.settings_.broker.host + ":" + std::to_string(link.settings_.broker.port), false);
    link.backoff_.Reset();
    link.state_ = State::Subscribing;
    link.pendingSubscriptions_ = 0;
    for (const auto& filter : link.subscriptions_) {
        const int src = mosquitto_subscribe(link.client_, nullptr, filter.c_str(), link.settings_.qos);
        if (src == MOSQ_ERR_SUCCESS) ++link.pendingSubscriptions_;
        else link.Log("cannot subscribe to '" + filter + "': " + Describe(src), true);
    }
    if (link.pendingSubscriptions_ == 0) {
        link.state_ = State::Ready;
        link.birthDue_ = true;
    }
}

void MqttLink::OnDisconnect(mosquitto*, void* self, int rc) {
    auto& link = *static_cast<MqttLink*>(self);
    link.disconnected_ = true;
    link.Lost(rc == 0 ? "disconnected by the broker" : "connection lost: " + Describe(rc));
}

void MqttLink::OnSubscribe(mosquitto*, void* self, int, int, const int*) {
    auto& link = *static_cast<MqttLink*>(self);
    if (link.state_ != State::Subscribing || --link.pendingSubscriptions_ > 0) return;
    link.state_ = State::Ready;
    link.birthDue_ = true;
}

void MqttLink::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto& link = *static_cast<MqttLink*>(self);
    link.incoming_.push_back({message->topic,
                              std::string(static_cast<const char*>(message->payload),
                                          static_cast<std::size_t>(message->payloadlen)),
                              message->retain});
}

void MqttLink::OnLog(mosquitto*, void* self, int level, const char* text) {
    const auto& link = *static_cast<const MqttLink*>(self);
    if (level == MOSQ_LOG_ERR || (link.settings_.verbose && level != MOSQ_LOG_DEBUG)) link.Log(text, true);
}

void MqttLink::OnPublish(mosquitto*, void* self, int mid) {
    auto& link = *static_cast<MqttLink*>(self);
    if (mid == link.awaitedMid_) link.awaitedDone_ = true;
}

}  // namespace tolsa::bridge
