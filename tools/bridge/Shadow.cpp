#include "Shadow.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tolsa::bridge {

namespace {
constexpr std::size_t kSlot = 64;
}

Shadow::Shadow(std::vector<int32_t> indices, std::vector<int32_t> sizes)
    : indices_(std::move(indices)), sizes_(std::move(sizes)), values_(indices_.size() * kSlot) {
    int32_t last = -1;
    for (const int32_t index : indices_) last = std::max(last, index);
    positionOf_.assign(static_cast<std::size_t>(last + 1), -1);
    for (std::size_t i = 0; i < indices_.size(); ++i) positionOf_[static_cast<std::size_t>(indices_[i])] = static_cast<int32_t>(i);
}

void Shadow::Pass(const unsigned char* base, int32_t itemSize, int32_t valueOffset, std::vector<int32_t>& changed) {
    unsigned char* shadow = values_.data();
    const std::size_t count = indices_.size();
    for (std::size_t i = 0; i < count; ++i, shadow += kSlot) {
        const unsigned char* value = base + static_cast<std::ptrdiff_t>(indices_[i]) * itemSize + valueOffset;
        const auto size = static_cast<std::size_t>(sizes_[i]);
        if (std::memcmp(value, shadow, size) != 0) {
            std::memcpy(shadow, value, size);
            changed.push_back(static_cast<int32_t>(i));
        }
    }
}

void Shadow::Take(int32_t index, const unsigned char* value) {
    if (index < 0 || static_cast<std::size_t>(index) >= positionOf_.size()) return;
    const int32_t position = positionOf_[static_cast<std::size_t>(index)];
    if (position < 0) return;
    std::memcpy(values_.data() + static_cast<std::size_t>(position) * kSlot, value,
                static_cast<std::size_t>(sizes_[static_cast<std::size_t>(position)]));
}

}  // namespace tolsa::bridge
