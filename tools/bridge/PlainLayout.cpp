#include "PlainLayout.h"

#include <utility>

#include "ValueFormat.h"

namespace tolsa::bridge {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

}  // namespace

PlainLayout::PlainLayout(std::string root, std::vector<std::string> mirrors, bool json)
    : root_(std::move(root)), mirrors_(std::move(mirrors)), json_(json) {}

Message PlainLayout::Will() const { return {root_ + "/status", "offline", true}; }

std::vector<std::string> PlainLayout::Subscriptions() const {
    std::vector<std::string> filters{root_ + "/set/+"};
    for (const auto& mirror : mirrors_) filters.push_back(mirror + "/value/+");
    return filters;
}

std::string PlainLayout::Payload(const codec::Record& record, std::string_view time) const {
    if (!json_) return codec::DecodeValue(record);
    return "{\"value\":" + codec::JsonValue(record) + ",\"type\":" + codec::JsonString(std::string_view(&record.type, 1)) +
           ",\"size\":" + std::to_string(record.size) + ",\"index\":" + std::to_string(record.index) +
           ",\"time\":\"" + std::string(time) + "\"}";
}

std::vector<Message> PlainLayout::Birth(const std::vector<codec::Record>& records, std::string_view time) {
    std::vector<Message> messages{{root_ + "/status", "online", true}};
    auto values = Changed(records, time);
    messages.insert(messages.end(), std::make_move_iterator(values.begin()), std::make_move_iterator(values.end()));
    return messages;
}

std::vector<Message> PlainLayout::Changed(const std::vector<codec::Record>& records, std::string_view time) {
    std::vector<Message> messages;
    messages.reserve(records.size());
    for (const auto& record : records) messages.push_back({root_ + "/value/" + record.name, Payload(record, time), true});
    return messages;
}

Decoded PlainLayout::Decode(std::string_view topic, std::string_view payload) const {
    Decoded decoded;
    const std::string set = root_ + "/set/";
    if (StartsWith(topic, set)) {
        decoded.requests.push_back({Incoming::Kind::Set, std::string(topic.substr(set.size())), std::string(payload)});
        return decoded;
    }
    for (const auto& mirror : mirrors_) {
        const std::string value = mirror + "/value/";
        if (StartsWith(topic, value)) {
            decoded.requests.push_back(
                {Incoming::Kind::Mirror, std::string(topic.substr(value.size())), std::string(payload)});
            return decoded;
        }
    }
    decoded.error = "no subscription of this bridge matches the topic";
    return decoded;
}

Message PlainLayout::Refusal(std::string_view topic, std::string_view payload, std::string_view why) const {
    return {root_ + "/error",
            "{\"topic\":" + codec::JsonString(topic) + ",\"payload\":" + codec::JsonString(payload) +
                ",\"error\":" + codec::JsonString(why) + "}",
            false};
}

}  // namespace tolsa::bridge
