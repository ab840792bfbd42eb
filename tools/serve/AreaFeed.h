#pragma once
// The one reader of the area behind every view: a thread that passes over the
// records every interval, keeps the last passes' changes as ready-made events
// and the area for the request handlers. Memory is bounded whatever the
// clients do: a client that has missed more passes than are kept gets a new
// snapshot instead of a queue. The events carry what the page shows: a
// snapshot [index, name, type, size, value] per record, a change [index, value].

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AttachedArea.h"
#include "PassLog.h"
#include "Record.h"

namespace tolsa::serve {

class AreaFeed {
public:
    AreaFeed(std::vector<std::string> writablePatterns, std::chrono::milliseconds interval);
    ~AreaFeed();
    AreaFeed(const AreaFeed&) = delete;
    AreaFeed& operator=(const AreaFeed&) = delete;

    void Start();
    void Stop();  // ends the thread and wakes every waiting client

    // The area now, for one request; null when there is none, with the reason.
    std::shared_ptr<attach::AttachedArea> Area(std::string* why = nullptr) const;
    bool Writable(std::string_view name) const;
    bool ReadOnly() const { return patterns_.empty(); }

    // Where one event-stream client stands.
    struct Cursor {
        uint64_t epoch = 0;  // the area it last had a snapshot of; 0: none yet
        uint64_t seq = 0;    // the last pass it was sent
        bool toldNoArea = false;
    };
    // Waits up to `wait` for news for `cursor` and returns it as server-sent
    // events: a snapshot, the changes of the passes it missed, or that there is
    // no area. Empty when there was none in time or the feed stopped.
    std::string Next(Cursor& cursor, std::chrono::milliseconds wait);
    bool Stopped() const;

    // Enough for a client that takes many seconds over a large snapshot to
    // catch up from it, rather than being sent one snapshot after another.
    static constexpr std::size_t kPassesKept = 600;
    static constexpr std::size_t kBytesKept = 64u << 20;

private:
    void Run();
    void PassOnce();
    std::string SnapshotEvent(uint64_t epoch, uint64_t& seq);  // seq: the pass it shows

    const std::vector<std::string> patterns_;
    const std::chrono::milliseconds interval_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    std::shared_ptr<attach::AttachedArea> area_;
    std::string noAreaWhy_ = "not looked yet";
    uint64_t epoch_ = 0;  // counts the areas attached to
    uint64_t seq_ = 0;    // counts the passes that changed something
    std::shared_ptr<const std::vector<codec::Record>> records_;  // as of seq_
    std::shared_ptr<const std::string> writableList_;            // JSON array of indices
    PassLog kept_{kPassesKept, kBytesKept};
    std::shared_ptr<const std::string> snapshot_;  // cached for (snapshotEpoch_, snapshotSeq_)
    uint64_t snapshotEpoch_ = 0, snapshotSeq_ = 0;

    std::thread thread_;
};

}  // namespace tolsa::serve
