#include "Bridge.h"

#include <chrono>
#include <cstdio>

#include "Glob.h"
#include "System.h"
#include "ValueFormat.h"
#include "ValueParse.h"

namespace tolsa::bridge {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

// The records published and the bytes of each that the shadow compares:
// all 64 of a string's field, `size` of any other letter.
Shadow Watched(const LocalArea& area, const std::vector<std::string>& patterns) {
    std::vector<int32_t> indices, sizes;
    for (int32_t i = 0; i < area.Count(); ++i) {
        const codec::Record record = area.At(i);
        bool wanted = patterns.empty();
        for (const auto& pattern : patterns) wanted = wanted || codec::GlobMatch(pattern, record.name);
        if (!wanted) continue;
        indices.push_back(i);
        sizes.push_back(record.type == '$' ? codec::kValueBytes : codec::ValueBytes(record));
    }
    return Shadow(std::move(indices), std::move(sizes));
}

std::string IsoTime(std::chrono::system_clock::time_point now) {
    using namespace std::chrono;
    const auto day = floor<days>(now);
    const year_month_day date(day);
    const hh_mm_ss time(floor<milliseconds>(now - day));
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()), static_cast<int>(time.subseconds().count()));
    return text;
}

Bridge::Bridge(const BridgeSettings& settings, LocalArea& area, Layout& layout, MqttLink& link)
    : settings_(settings), area_(area), layout_(layout), link_(link), shadow_(Watched(area, settings.publish)) {}

bool Bridge::Matches(const std::vector<std::string>& patterns, const std::string& name) const {
    for (const auto& pattern : patterns)
        if (codec::GlobMatch(pattern, name)) return true;
    return false;
}

std::vector<codec::Record> Bridge::RecordsAt(const std::vector<int32_t>& positions) const {
    std::vector<codec::Record> records;
    records.reserve(positions.size());
    for (const int32_t position : positions) records.push_back(area_.At(shadow_.Indices()[static_cast<std::size_t>(position)]));
    return records;
}

void Bridge::Birth() {
    // Values that arrived with the subscriptions (a mirror's retained
    // values) go in first, so the birth does not undo them.
    ApplyIncoming();
    changed_.clear();
    shadow_.Pass(area_.Base(), area_.ItemSize(), LocalArea::ValueOffset(), changed_);
    std::vector<int32_t> all(shadow_.Indices().size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int32_t>(i);
    for (const auto& message : layout_.Birth(RecordsAt(all), IsoTime(std::chrono::system_clock::now())))
        link_.Publish(message);
}

void Bridge::PublishChanges() {
    changed_.clear();
    shadow_.Pass(area_.Base(), area_.ItemSize(), LocalArea::ValueOffset(), changed_);
    if (changed_.empty()) return;
    for (const auto& message : layout_.Changed(RecordsAt(changed_), IsoTime(std::chrono::system_clock::now())))
        link_.Publish(message);
    published_ += changed_.size();
}

void Bridge::Refuse(const Message& message, const std::string& why) {
    ++refused_;
    if (settings_.verbose) LogLine("refused " + codec::Printable(message.topic) + ": " + why);
    link_.Publish(layout_.Refusal(message.topic, message.payload, why));
}

void Bridge::ApplyIncoming() {
    for (const auto& message : link_.TakeIncoming()) {
        const Decoded decoded = layout_.Decode(message.topic, message.payload);
        if (!decoded.error.empty()) {
            Refuse(message, decoded.error);
            continue;
        }
        for (const auto& request : decoded.requests) {
            const bool set = request.kind == Incoming::Kind::Set;
            if (set && !Matches(settings_.writable, request.name)) {
                Refuse(message, codec::Printable(request.name) + " is not writable");
                continue;
            }
            const int32_t index = area_.Find(request.name);
            if (index < 0) {
                Refuse(message, "no variable named " + codec::Printable(request.name));
                continue;
            }
            const codec::Record record = area_.At(index);
            const codec::ParsedValue value = codec::ParseValue(record.type, record.size, request.text);
            if (!value.ok) {
                Refuse(message, "cannot set " + codec::Printable(record.name) + " (type " +
                                    codec::Printable(std::string(1, record.type)) + "): " + value.error);
                continue;
            }
            if (!area_.Write(index, value.bytes.data())) {
                Refuse(message, "the library refused to write " + codec::Printable(record.name));
                continue;
            }
            // A mirrored value is the remote's, not a change of ours: it
            // goes into the shadow so it is not published back. A set is
            // published as the variable's new value.
            if (!set) shadow_.Take(index, area_.At(index).value.data());
            ++applied_;
        }
    }
}

void Bridge::Run(const std::atomic<bool>& stop) {
    const auto interval = std::chrono::milliseconds(settings_.intervalMs);
    auto nextPass = Clock::now();
    auto nextStatus = Clock::now();
    while (!stop.load()) {
        if (Clock::now() >= nextStatus) {
            nextStatus += std::chrono::seconds(1);
            StatusLine(std::string(link_.Ready() ? "connected" : "not connected") + ", " +
                       std::to_string(shadow_.Indices().size()) + " variables published, " + std::to_string(published_) +
                       " changes sent, " + std::to_string(applied_) + " values applied, " + std::to_string(refused_) +
                       " refused");
        }
        const auto now = Clock::now();
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(nextPass - now);
        link_.Service(std::clamp(wait, std::chrono::milliseconds(1), interval));
        if (link_.TakeBirthDue()) Birth();
        ApplyIncoming();
        if (Clock::now() >= nextPass) {
            nextPass += interval;
            if (nextPass < Clock::now()) nextPass = Clock::now() + interval;  // fell behind: no burst of passes
            if (link_.Ready()) PublishChanges();
        }
    }
    EndStatusLine();
    link_.Stop(layout_.Will(), std::chrono::milliseconds(2000));
}

}  // namespace tolsa::bridge
