#include "PassLog.h"

namespace tolsa::serve {

void PassLog::Add(uint64_t seq, std::string event) {
    bytes_ += event.size();
    passes_.push_back({seq, std::move(event)});
    while (!passes_.empty() && (passes_.size() > maxPasses_ || bytes_ > maxBytes_)) {
        bytes_ -= passes_.front().event.size();
        passes_.pop_front();
    }
}

void PassLog::Clear() {
    passes_.clear();
    bytes_ = 0;
}

std::optional<std::string> PassLog::Since(uint64_t seq, uint64_t last) const {
    if (seq >= last) return std::string();
    if (passes_.empty() || passes_.front().seq > seq + 1) return std::nullopt;
    std::string events;
    for (const auto& pass : passes_)
        if (pass.seq > seq) events += pass.event;
    return events;
}

}  // namespace tolsa::serve
