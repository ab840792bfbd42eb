#pragma once
// The search loop, inline because every lookup by name runs it.

#include "index/HashName.h"
#include "index/NameIndex.h"

namespace tolsa {

// hash mod count by two multiplications (Lemire's fastmod), exact for every
// 32-bit hash and count, with the magic number of a table prime; the plain
// division, whose latency the search would otherwise wait for, only for a
// count that is not the table's.
inline uint32_t NameIndexBucket(const NameIndex* index, uint32_t hash) {
    const uint32_t count = index->bucketCount;
    const uint32_t position = index->primePosition;
    if (position < kNameIndexPrimeCount && NameIndexPrimes[position] == count) [[likely]] {
        __extension__ using Wide = unsigned __int128;
        const uint64_t fraction = NameIndexModMagic[position] * hash;
        return static_cast<uint32_t>((static_cast<Wide>(fraction) * count) >> 64);
    }
    return hash % count;
}

template <typename Equal>
inline void* SearchNameIndexHashed(const NameIndex* index, uint32_t keyHash, Equal&& equal) {
    const uint32_t mixed = MixHash(keyHash);
    for (const IndexEntry* entry = index->buckets[NameIndexBucket(index, mixed)]; entry != nullptr;
         entry = entry->next) {
        if (entry->hash == mixed && equal(static_cast<const char*>(entry->key))) return entry->value;
    }
    return nullptr;
}

}  // namespace tolsa
