#pragma once
// Change detection: a private copy of the value bytes of every published
// variable, compared with the shared area on each pass. Strings compare all
// 64 bytes of their field, other letters their size.

#include <cstdint>
#include <vector>

namespace tolsa::bridge {

class Shadow {
public:
    // `indices`: the records watched, in the order passes report them;
    // `sizes`: how many value bytes of each are compared (0 to 64).
    Shadow(std::vector<int32_t> indices, std::vector<int32_t> sizes);

    // Compares every watched value in the area at `base` (records of
    // `itemSize` bytes, value at `valueOffset`) with the shadow, copies the
    // ones that differ, and appends their positions to `changed`.
    void Pass(const unsigned char* base, int32_t itemSize, int32_t valueOffset, std::vector<int32_t>& changed);

    // Takes the current bytes of the record at `index` into the shadow, so
    // that a value the bridge wrote itself is not reported as a change.
    void Take(int32_t index, const unsigned char* value);

    const std::vector<int32_t>& Indices() const { return indices_; }

private:
    std::vector<int32_t> indices_;
    std::vector<int32_t> sizes_;
    std::vector<int32_t> positionOf_;  // record index -> position, -1 when not watched
    std::vector<unsigned char> values_;  // 64 bytes per position
};

}  // namespace tolsa::bridge
