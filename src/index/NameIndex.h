#pragma once
// The per-process chained hash table from full variable name to record. It
// holds references only: keys and values are never copied or released.
// Results follow the index's own convention: -1 (all bits set) for success,
// 0 for failure.

#include <cstdint>

#include "index/IndexAllocator.h"

namespace tolsa {

using IndexHashFunction = uint32_t (*)(const char* key);
using IndexEqualFunction = int32_t (*)(const char* searched, const char* stored);

struct IndexEntry {
    const void* key;
    void* value;
    uint32_t hash;  // mixed hash of the key, computed once at insertion
    IndexEntry* next;
};

struct NameIndex {
    uint32_t bucketCount;
    IndexEntry** buckets;
    uint32_t entryCount;
    uint32_t loadLimit;
    uint32_t primePosition;
    IndexHashFunction hash;
    IndexEqualFunction equal;
    const IndexAllocator* allocator;
    uint64_t bucketMagic;  // NameIndexModMagic(bucketCount), for NameIndexBucket
};

constexpr uint32_t kNameIndexPrimeCount = 26;
extern const uint32_t NameIndexPrimes[kNameIndexPrimeCount];

// 2^64 / count rounded up: what NameIndexBucket multiplies by.
constexpr uint64_t NameIndexModMagic(uint32_t count) { return ~uint64_t{0} / count + 1; }

// hash mod count by two multiplications (Lemire's fastmod), exact for every
// 32-bit hash and count, so that a search does not wait for a division. The
// one bucket computation: insertion, growth and search all use it.
inline uint32_t NameIndexBucket(uint32_t hash, uint32_t count, uint64_t magic) {
    __extension__ using Wide = unsigned __int128;
    const uint64_t fraction = magic * hash;
    return static_cast<uint32_t>((static_cast<Wide>(fraction) * count) >> 64);
}

// One more than bucketCount * 0.65, computed in single precision.
uint32_t NameIndexLoadLimit(uint32_t bucketCount);

// A new empty index with the first prime above `minimumSize`, or null when
// the size exceeds 2^30 or memory runs out.
NameIndex* CreateNameIndex(uint32_t minimumSize, IndexHashFunction hash, IndexEqualFunction equal,
                           const IndexAllocator& allocator = SystemIndexAllocator());

// Adds an entry at the head of its chain, growing first when the new entry
// count passes the load limit. Equal keys are not checked for. -1, or 0 when
// the entry cannot be allocated.
int32_t InsertIntoNameIndex(NameIndex* index, const void* key, void* value);

// Moves to the next prime: into a fresh bucket array, or in place when that
// cannot be allocated. -1 when the index grew, 0 when it did not.
int32_t GrowNameIndex(NameIndex* index);

// The value of the first entry along the key's chain whose key is equal.
void* SearchNameIndex(const NameIndex* index, const char* key);

// The same search, for a key the caller hashed itself (with the index's hash
// function, before mixing) and compares with its own function.
template <typename Equal>
void* SearchNameIndexHashed(const NameIndex* index, uint32_t keyHash, Equal&& equal);

// Frees an index that was never published.
void ReleaseNameIndex(NameIndex* index);

}  // namespace tolsa

#include "index/NameIndexSearch.h"
