#include "EdgeNode.h"

#include "Metrics.h"

namespace tolsa::sparkplug {
namespace {

constexpr std::string_view kNamespace = "spBv1.0";

std::string Describe(const InMetric& metric) {
    if (metric.name) return "'" + metric.name->kept + (metric.name->length > metric.name->kept.size() ? "...'" : "'");
    if (metric.alias) return "alias " + std::to_string(*metric.alias);
    return "a metric with neither name nor alias";
}

}  // namespace

Topics TopicsOf(std::string_view group, std::string_view node) {
    auto topic = [&](std::string_view kind) {
        return std::string(kNamespace) + "/" + std::string(group) + "/" + std::string(kind) + "/" + std::string(node);
    };
    return Topics{topic("NBIRTH"), topic("NDATA"), topic("NDEATH"), topic("NCMD")};
}

std::string StateTopic(std::string_view host) { return std::string(kNamespace) + "/STATE/" + std::string(host); }

EdgeNode::EdgeNode(std::vector<bool> published, std::vector<bool> writable)
    : published_(std::move(published)), writable_(std::move(writable)) {}

void EdgeNode::Connect() { bd_seq_ = (bd_seq_ + 1) & 0xFF; }

std::vector<unsigned char> EdgeNode::Death(uint64_t now_ms) const {
    OutMetric bd_seq;
    bd_seq.name = kBdSeq;
    bd_seq.value.type = DataType::UInt64;
    bd_seq.value.integer = bd_seq_;
    std::vector<unsigned char> out;
    Encode(OutPayload{now_ms, std::nullopt, std::span<const OutMetric>(&bd_seq, 1)}, out);
    return out;
}

uint64_t EdgeNode::NextSeq() {
    seq_ = (seq_ + 1) & 0xFF;
    return seq_;
}

const std::vector<unsigned char>& EdgeNode::Birth(const std::vector<codec::Record>& records, uint64_t now_ms) {
    metrics_.clear();
    for (const codec::Record& record : records) {
        const auto index = static_cast<std::size_t>(record.index);
        if (index >= published_.size() || !published_[index]) continue;
        OutMetric& metric = metrics_.emplace_back();
        metric.name = record.name;
        metric.alias = static_cast<uint64_t>(record.index);
        metric.timestamp = now_ms;
        metric.value = ValueOf(record);
    }
    OutMetric& bd_seq = metrics_.emplace_back();
    bd_seq.name = kBdSeq;
    bd_seq.timestamp = now_ms;
    bd_seq.value.type = DataType::UInt64;
    bd_seq.value.integer = bd_seq_;
    OutMetric& rebirth = metrics_.emplace_back();
    rebirth.name = kRebirth;
    rebirth.timestamp = now_ms;
    rebirth.value.type = DataType::Boolean;
    seq_ = 0;
    encoded_.clear();
    Encode(OutPayload{now_ms, seq_, metrics_}, encoded_);
    return encoded_;
}

const std::vector<unsigned char>& EdgeNode::Data(const std::vector<codec::Record>& changed, uint64_t now_ms) {
    metrics_.clear();
    for (const codec::Record& record : changed) {
        OutMetric& metric = metrics_.emplace_back();
        metric.alias = static_cast<uint64_t>(record.index);
        metric.timestamp = now_ms;
        metric.with_datatype = false;
        metric.value = ValueOf(record);
    }
    encoded_.clear();
    if (!metrics_.empty()) Encode(OutPayload{now_ms, NextSeq(), metrics_}, encoded_);
    return encoded_;
}

Command EdgeNode::ReadCommand(std::span<const unsigned char> bytes, const std::vector<codec::Record>& records) const {
    Command command;
    InPayload payload;
    std::string error;
    if (!Decode(bytes.data(), bytes.size(), payload, error)) {
        command.refused.push_back("not a Sparkplug B payload: " + error);
        return command;
    }
    for (const InMetric& metric : payload.metrics) {
        auto refuse = [&](const std::string& why) { command.refused.push_back(Describe(metric) + ": " + why); };
        if (metric.name && metric.name->length == kRebirth.size() && metric.name->kept == kRebirth) {
            if ((metric.datatype && *metric.datatype != static_cast<uint32_t>(DataType::Boolean)) || !metric.boolean_value)
                refuse("Rebirth takes a Boolean");
            else if (*metric.boolean_value)
                command.rebirth = true;
            continue;
        }
        const codec::Record* target = nullptr;
        if (metric.name) {
            for (const codec::Record& record : records)
                if (metric.name->length == record.name.size() && metric.name->kept == record.name) target = &record;
            if (target && metric.alias && *metric.alias != static_cast<uint64_t>(target->index)) {
                refuse("its alias " + std::to_string(*metric.alias) + " is not the variable's");
                continue;
            }
        } else if (metric.alias && *metric.alias < records.size()) {
            target = &records[static_cast<std::size_t>(*metric.alias)];
        }
        if (!target) {
            refuse(metric.name || metric.alias ? "no such variable" : "nothing to write");
            continue;
        }
        const auto index = static_cast<std::size_t>(target->index);
        if (index >= writable_.size() || !writable_[index]) {
            refuse("not writable");
            continue;
        }
        WriteValue value = WriteValueOf(*target, metric);
        if (!value.ok) {
            refuse(value.error);
            continue;
        }
        command.writes.push_back(Command::Write{target->index, value.bytes});
    }
    return command;
}

}  // namespace tolsa::sparkplug
