#pragma once
// The search loop, inline because every lookup by name runs it.

#include "index/HashName.h"
#include "index/NameIndex.h"

namespace tolsa {

template <typename Equal>
inline void* SearchNameIndexHashed(const NameIndex* index, uint32_t keyHash, Equal&& equal) {
    const uint32_t mixed = MixHash(keyHash);
    for (const IndexEntry* entry = index->buckets[NameIndexBucket(mixed, index->bucketCount, index->bucketMagic)]; entry != nullptr;
         entry = entry->next) {
        if (entry->hash == mixed && equal(static_cast<const char*>(entry->key))) return entry->value;
    }
    return nullptr;
}

}  // namespace tolsa
