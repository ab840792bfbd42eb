#include "SparkplugBridge.h"

#include <chrono>
#include <cstdio>

#include "Bridge.h"
#include "Glob.h"
#include "HostState.h"
#include "ValueFormat.h"

namespace tolsa::bridge {
namespace {

using Clock = std::chrono::steady_clock;

uint64_t NowMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

std::vector<bool> Matching(const LocalArea& area, const std::vector<std::string>& patterns, bool emptyMatchesAll) {
    std::vector<bool> matching(static_cast<std::size_t>(area.Count()));
    for (int32_t i = 0; i < area.Count(); ++i) {
        const std::string name = area.At(i).name;
        bool match = emptyMatchesAll && patterns.empty();
        for (const auto& pattern : patterns) match = match || codec::GlobMatch(pattern, name);
        matching[static_cast<std::size_t>(i)] = match;
    }
    return matching;
}

std::vector<std::string> Subscriptions(const sparkplug::Topics& topics, const std::string& stateTopic) {
    std::vector<std::string> filters{topics.command};
    if (!stateTopic.empty()) filters.push_back(stateTopic);
    return filters;
}

std::string Bytes(const std::vector<unsigned char>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace

SparkplugBridge::SparkplugBridge(const BridgeSettings& settings, LocalArea& area)
    : settings_(settings),
      area_(area),
      topics_([&] {
          std::string group, node, error;
          sparkplug::ParseNodeId(settings.sparkplug, group, node, error);  // checked with the options
          return sparkplug::TopicsOf(group, node);
      }()),
      stateTopic_(settings.primaryHost.empty() ? std::string() : sparkplug::StateTopic(settings.primaryHost)),
      node_(Matching(area, settings.publish, true), Matching(area, settings.writable, false)),
      shadow_(Watched(area, settings.publish)),
      link_(settings, Message{topics_.death, {}, false}, Subscriptions(topics_, stateTopic_)) {
    // Every connection attempt carries the next bdSeq in its Will.
    link_.SetWillSource([this] {
        node_.Connect();
        return Death();
    });
}

std::string SparkplugBridge::Setup() { return link_.Setup(); }

Message SparkplugBridge::Death() const { return Message{topics_.death, Bytes(node_.Death(NowMs())), false}; }

void SparkplugBridge::Log(const std::string& line) const {
    if (settings_.verbose) std::fprintf(stderr, "tolsa-bridge: %s\n", line.c_str());
}

std::vector<codec::Record> SparkplugBridge::AllRecords() const {
    std::vector<codec::Record> records;
    records.reserve(static_cast<std::size_t>(area_.Count()));
    for (int32_t i = 0; i < area_.Count(); ++i) records.push_back(area_.At(i));
    return records;
}

void SparkplugBridge::Birth() {
    // The shadow takes the values first, so what the birth carries is not
    // sent again as a change.
    changed_.clear();
    shadow_.Pass(area_.Base(), area_.ItemSize(), LocalArea::ValueOffset(), changed_);
    link_.Publish(Message{topics_.birth, Bytes(node_.Birth(AllRecords(), NowMs())), false});
    born_ = true;
    Log("NBIRTH with bdSeq " + std::to_string(node_.BdSeq()));
}

void SparkplugBridge::PublishChanges() {
    changed_.clear();
    shadow_.Pass(area_.Base(), area_.ItemSize(), LocalArea::ValueOffset(), changed_);
    if (changed_.empty()) return;
    changedRecords_.clear();
    for (const int32_t position : changed_)
        changedRecords_.push_back(area_.At(shadow_.Indices()[static_cast<std::size_t>(position)]));
    link_.Publish(Message{topics_.data, Bytes(node_.Data(changedRecords_, NowMs())), false});
}

void SparkplugBridge::OnState(const std::string& payload) {
    const auto state = sparkplug::ParseHostState(payload);
    if (!state) {
        Log("ignored a STATE message that is not {\"online\":...,\"timestamp\":...}: " + codec::Printable(payload));
        return;
    }
    if (state->timestamp < stateTime_) {
        Log("ignored a STATE message older than the last one");
        return;
    }
    stateTime_ = state->timestamp;
    hostOnline_ = state->online;
    Log("primary host " + settings_.primaryHost + (hostOnline_ ? " online" : " offline"));
    if (hostOnline_ && !born_) {
        Birth();
    } else if (!hostOnline_ && born_) {
        // No host to serve: die, and come back unborn until it is online again.
        link_.Restart(Death(), std::chrono::milliseconds(2000));
        born_ = false;
    }
}

void SparkplugBridge::OnCommand(const std::string& payload) {
    if (!born_) {
        Log("ignored an NCMD before the birth");
        return;
    }
    const std::vector<codec::Record> records = AllRecords();
    const sparkplug::Command command = node_.ReadCommand(
        std::span(reinterpret_cast<const unsigned char*>(payload.data()), payload.size()), records);
    for (const std::string& why : command.refused) Log("NCMD refused " + codec::Printable(why));
    for (const auto& write : command.writes)
        if (!area_.Write(write.index, write.bytes.data()))
            Log("NCMD: the library refused to write " + codec::Printable(records[static_cast<std::size_t>(write.index)].name));
    if (command.rebirth) Birth();
}

void SparkplugBridge::HandleIncoming() {
    for (const Message& message : link_.TakeIncoming()) {
        if (!stateTopic_.empty() && message.topic == stateTopic_) OnState(message.payload);
        else if (message.topic == topics_.command) OnCommand(message.payload);
    }
}

void SparkplugBridge::Run(const std::atomic<bool>& stop) {
    const auto interval = std::chrono::milliseconds(settings_.intervalMs);
    auto nextPass = Clock::now();
    while (!stop.load()) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(nextPass - Clock::now());
        link_.Service(std::clamp(wait, std::chrono::milliseconds(1), interval));
        if (!link_.Ready()) born_ = false;
        if (link_.TakeBirthDue()) {
            // A new session: with a primary host, its retained STATE decides.
            born_ = false;
            hostOnline_ = false;
            if (stateTopic_.empty()) Birth();
        }
        HandleIncoming();
        if (Clock::now() >= nextPass) {
            nextPass += interval;
            if (nextPass < Clock::now()) nextPass = Clock::now() + interval;
            if (born_ && link_.Ready()) PublishChanges();
        }
    }
    link_.Stop(Death(), std::chrono::milliseconds(2000));
}

}  // namespace tolsa::bridge
