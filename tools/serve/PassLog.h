#pragma once
// The last passes' change events, bounded in count and bytes, so that the
// memory a view holds never grows with how far behind a client is. A client
// whose next pass has been dropped is sent a new snapshot instead.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace tolsa::serve {

class PassLog {
public:
    PassLog(std::size_t maxPasses, std::size_t maxBytes) : maxPasses_(maxPasses), maxBytes_(maxBytes) {}

    // The event of pass `seq`, one more than the last added.
    void Add(uint64_t seq, std::string event);
    void Clear();
    // Every event after pass `seq`, in order ("" when none); nothing when
    // some of them are no longer kept.
    std::optional<std::string> Since(uint64_t seq, uint64_t last) const;

    std::size_t Passes() const { return passes_.size(); }
    std::size_t Bytes() const { return bytes_; }

private:
    struct Pass {
        uint64_t seq;
        std::string event;
    };
    const std::size_t maxPasses_;
    const std::size_t maxBytes_;
    std::deque<Pass> passes_;
    std::size_t bytes_ = 0;
};

}  // namespace tolsa::serve
