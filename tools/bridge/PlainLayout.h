#pragma once
// ROOT/status (retained online/offline), ROOT/value/<name> (retained, the
// value as `tolsa get` prints it, or a JSON object), ROOT/set/<name> in,
// REMOTE_ROOT/value/+ in for every mirrored root, ROOT/error out.

#include <string>
#include <vector>

#include "Layout.h"

namespace tolsa::bridge {

class PlainLayout : public Layout {
public:
    PlainLayout(std::string root, std::vector<std::string> mirrors, bool json);

    Message Will() const override;
    std::vector<std::string> Subscriptions() const override;
    std::vector<Message> Birth(const std::vector<codec::Record>& records, std::string_view time) override;
    std::vector<Message> Changed(const std::vector<codec::Record>& records, std::string_view time) override;
    Decoded Decode(std::string_view topic, std::string_view payload) const override;
    Message Refusal(std::string_view topic, std::string_view payload, std::string_view why) const override;

    // The payload of one value.
    std::string Payload(const codec::Record& record, std::string_view time) const;

private:
    std::string root_;
    std::vector<std::string> mirrors_;
    bool json_;
};

}  // namespace tolsa::bridge
