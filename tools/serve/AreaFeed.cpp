#include "AreaFeed.h"

#include <cstring>

#include "Glob.h"
#include "ValueFormat.h"

namespace tolsa::serve {

namespace {

std::string Event(std::string_view name, std::string_view data) {
    std::string text;
    text.reserve(data.size() + name.size() + 16);
    text.append("event: ").append(name).append("\ndata: ").append(data).append("\n\n");
    return text;
}

// Compared on what a reader can see: the value's own bytes.
bool SameValue(const codec::Record& a, const codec::Record& b) {
    return std::memcmp(a.value.data(), b.value.data(), static_cast<std::size_t>(codec::ValueBytes(a))) == 0;
}

}  // namespace

AreaFeed::AreaFeed(std::vector<std::string> writablePatterns, std::chrono::milliseconds interval)
    : patterns_(std::move(writablePatterns)), interval_(interval) {}

AreaFeed::~AreaFeed() { Stop(); }

void AreaFeed::Start() { thread_ = std::thread([this] { Run(); }); }

void AreaFeed::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool AreaFeed::Stopped() const {
    std::lock_guard lock(mutex_);
    return stopping_;
}

std::shared_ptr<attach::AttachedArea> AreaFeed::Area(std::string* why) const {
    std::lock_guard lock(mutex_);
    if (!area_ && why) *why = noAreaWhy_;
    return area_;
}

bool AreaFeed::Writable(std::string_view name) const {
    for (const auto& pattern : patterns_)
        if (codec::GlobMatch(pattern, name)) return true;
    return false;
}

void AreaFeed::Run() {
    auto next = std::chrono::steady_clock::now();
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        lock.unlock();
        PassOnce();
        next += interval_;
        const auto now = std::chrono::steady_clock::now();
        if (next < now) next = now;  // a slow pass is not made up for with a burst
        lock.lock();
        changed_.wait_until(lock, next, [this] { return stopping_; });
    }
}

void AreaFeed::PassOnce() {
    std::shared_ptr<attach::AttachedArea> area = Area();
    if (area && !area->Shared()) {
        // The producers have all gone: let go, so a later starter can make the area anew.
        std::lock_guard lock(mutex_);
        area_.reset();
        records_.reset();
        kept_.Clear();
        snapshot_.reset();
        noAreaWhy_ = attach::LostAreaMessage();
        changed_.notify_all();
        return;
    }
    if (!area) {
        std::string why;
        std::shared_ptr<attach::AttachedArea> opened = attach::AttachedArea::Open(&why);
        if (!opened) {
            std::lock_guard lock(mutex_);
            noAreaWhy_ = why;
                return;
        }
        auto records = std::make_shared<const std::vector<codec::Record>>(opened->ReadAll());
        std::string writable = "[";
        for (const auto& record : *records) {
            if (!Writable(record.name)) continue;
            if (writable.size() > 1) writable += ',';
            writable += std::to_string(record.index);
        }
        writable += ']';
        std::lock_guard lock(mutex_);
        area_ = std::move(opened);
        records_ = std::move(records);
        writableList_ = std::make_shared<const std::string>(std::move(writable));
        ++epoch_;
        seq_ = 0;
        kept_.Clear();
        snapshot_.reset();
        changed_.notify_all();
        return;
    }
    auto records = std::make_shared<const std::vector<codec::Record>>(area->ReadAll());
    std::shared_ptr<const std::vector<codec::Record>> previous;
    {
        std::lock_guard lock(mutex_);
        previous = records_;
    }
    // [index, value] of each changed record.
    std::string changes;
    const std::size_t common = std::min(records->size(), previous ? previous->size() : 0);
    for (std::size_t i = 0; i < records->size(); ++i) {
        if (i < common && SameValue((*records)[i], (*previous)[i])) continue;
        changes += changes.empty() ? "[[" : ",[";
        changes += std::to_string(i);
        changes += ',';
        changes += codec::JsonValue((*records)[i]);
        changes += ']';
    }
    std::lock_guard lock(mutex_);
    if (changes.empty()) return;
    records_ = std::move(records);
    ++seq_;
    kept_.Add(seq_, Event("change", "{\"seq\":" + std::to_string(seq_) + ",\"values\":" + changes + "]}"));
    changed_.notify_all();
}

std::string AreaFeed::SnapshotEvent(uint64_t epoch, uint64_t& seq) {
    std::shared_ptr<const std::vector<codec::Record>> records;
    std::shared_ptr<const std::string> writable;
    {
        std::lock_guard lock(mutex_);
        seq = seq_;
        if (snapshot_ && snapshotEpoch_ == epoch && snapshotSeq_ == seq_) return *snapshot_;
        records = records_;
        writable = writableList_;
    }
    if (!records) return {};
    // Formatted outside the lock: the passes go on meanwhile.
    std::string data = "{\"seq\":" + std::to_string(seq) + ",\"writable\":" + *writable + ",\"records\":[";
    data.reserve(records->size() * 64);
    // [index, name, type, size, value] of each record: what the page shows.
    for (std::size_t i = 0; i < records->size(); ++i) {
        const codec::Record& record = (*records)[i];
        data += i ? ",[" : "[";
        data += std::to_string(record.index);
        data += ',';
        data += codec::JsonString(record.name);
        data += ',';
        data += codec::JsonString(std::string_view(&record.type, 1));
        data += ',';
        data += std::to_string(record.size);
        data += ',';
        data += codec::JsonValue(record);
        data += ']';
    }
    data += "]}";
    auto event = std::make_shared<const std::string>(Event("snapshot", data));
    std::lock_guard lock(mutex_);
    if (epoch_ == epoch && seq_ == seq) {
        snapshot_ = event;
        snapshotEpoch_ = epoch;
        snapshotSeq_ = seq;
    }
    return *event;
}

std::string AreaFeed::Next(Cursor& cursor, std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    const auto news = [&] {
        if (stopping_) return true;
        if (!area_) return !cursor.toldNoArea;
        return cursor.epoch != epoch_ || seq_ != cursor.seq;
    };
    if (!changed_.wait_for(lock, wait, news) || stopping_) return {};
    if (!area_) {
        cursor.toldNoArea = true;
        cursor.epoch = 0;
        std::string data = "{\"error\":" + codec::JsonString("no area: " + noAreaWhy_) + "}";
        return Event("noarea", data);
    }
    cursor.toldNoArea = false;
    // A new area, or behind by more than is kept: start again from a snapshot.
    std::optional<std::string> events;
    if (cursor.epoch == epoch_) events = kept_.Since(cursor.seq, seq_);
    if (events) {
        cursor.seq = seq_;
        return *events;
    }
    const uint64_t epoch = epoch_;
    uint64_t seq = 0;
    lock.unlock();
    std::string event = SnapshotEvent(epoch, seq);
    lock.lock();
    if (event.empty() || epoch_ != epoch) return {};
    cursor.epoch = epoch;
    cursor.seq = seq;
    return event;
}

}  // namespace tolsa::serve
