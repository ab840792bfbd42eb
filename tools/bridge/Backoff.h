#pragma once
// Reconnect delays: 100 ms, doubling up to 5 s, back to 100 ms after a
// connection the broker accepted.

#include <algorithm>
#include <chrono>

namespace tolsa::bridge {

class Backoff {
public:
    using Delay = std::chrono::milliseconds;
    explicit Backoff(Delay first = Delay(100), Delay last = Delay(5000)) : first_(first), last_(last), next_(first) {}
    // The delay before the next attempt; each call doubles the one after.
    Delay Next() {
        const Delay delay = next_;
        next_ = std::min(next_ * 2, last_);
        return delay;
    }
    void Reset() { next_ = first_; }

private:
    Delay first_, last_, next_;
};

}  // namespace tolsa::bridge
