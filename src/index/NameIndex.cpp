#include "index/NameIndex.h"

#include <cstddef>

namespace tolsa {

const uint32_t NameIndexPrimes[kNameIndexPrimeCount] = {
    53,        97,        193,       389,       769,       1543,       3079,       6151,       12289,
    24593,     49157,     98317,     196613,    393241,    786433,     1572869,    3145739,    6291469,
    12582917,  25165843,  50331653,  100663319, 201326611, 402653189, 805306457, 1610612741,
};

namespace {

constexpr uint32_t kMaximumMinimumSize = 0x40000000u;

IndexEntry** AllocateBuckets(const IndexAllocator& allocator, uint32_t count) {
    auto** buckets = static_cast<IndexEntry**>(allocator.allocate(sizeof(IndexEntry*) * std::size_t{count}));
    if (buckets != nullptr) {
        for (uint32_t i = 0; i < count; ++i) buckets[i] = nullptr;
    }
    return buckets;
}

void PushFront(IndexEntry** chain, IndexEntry* entry) {
    entry->next = *chain;
    *chain = entry;
}

void RebucketIntoFresh(NameIndex* index, IndexEntry** fresh, uint32_t newCount) {
    const uint64_t magic = NameIndexModMagic(newCount);
    for (uint32_t i = 0; i < index->bucketCount; ++i) {
        while (IndexEntry* entry = index->buckets[i]) {
            index->buckets[i] = entry->next;
            PushFront(&fresh[NameIndexBucket(entry->hash, newCount, magic)], entry);
        }
    }
    index->allocator->release(index->buckets);
    index->buckets = fresh;
}

// The array already has newCount slots, the new ones null.
void RebucketInPlace(NameIndex* index, uint32_t oldCount, uint32_t newCount) {
    IndexEntry** buckets = index->buckets;
    const uint64_t magic = NameIndexModMagic(newCount);
    for (uint32_t i = 0; i < oldCount; ++i) {
        IndexEntry** link = &buckets[i];
        while (IndexEntry* entry = *link) {
            const uint32_t target = NameIndexBucket(entry->hash, newCount, magic);
            if (target == i) {
                link = &entry->next;
            } else {
                *link = entry->next;
                PushFront(&buckets[target], entry);
            }
        }
    }
}

}  // namespace

uint32_t NameIndexLoadLimit(uint32_t bucketCount) {
    const float product = static_cast<float>(bucketCount) * 0.65f;
    return static_cast<uint32_t>(product) + 1;
}

NameIndex* CreateNameIndex(uint32_t minimumSize, IndexHashFunction hash, IndexEqualFunction equal,
                           const IndexAllocator& allocator) {
    if (minimumSize > kMaximumMinimumSize) return nullptr;
    uint32_t position = 0;
    while (NameIndexPrimes[position] <= minimumSize) ++position;

    auto* index = static_cast<NameIndex*>(allocator.allocate(sizeof(NameIndex)));
    if (index == nullptr) return nullptr;
    const uint32_t count = NameIndexPrimes[position];
    index->buckets = AllocateBuckets(allocator, count);
    if (index->buckets == nullptr) {
        allocator.release(index);
        return nullptr;
    }
    index->bucketCount = count;
    index->bucketMagic = NameIndexModMagic(count);
    index->entryCount = 0;
    index->loadLimit = NameIndexLoadLimit(count);
    index->primePosition = position;
    index->hash = hash;
    index->equal = equal;
    index->allocator = &allocator;
    return index;
}

int32_t GrowNameIndex(NameIndex* index) {
    if (index->primePosition == kNameIndexPrimeCount - 1) return 0;
    const uint32_t oldCount = index->bucketCount;
    const uint32_t newCount = NameIndexPrimes[index->primePosition + 1];

    if (IndexEntry** fresh = AllocateBuckets(*index->allocator, newCount)) {
        RebucketIntoFresh(index, fresh, newCount);
    } else {
        auto** resized = static_cast<IndexEntry**>(
            index->allocator->resize(index->buckets, sizeof(IndexEntry*) * std::size_t{newCount}));
        if (resized == nullptr) return 0;
        for (uint32_t i = oldCount; i < newCount; ++i) resized[i] = nullptr;
        index->buckets = resized;
        RebucketInPlace(index, oldCount, newCount);
    }
    index->primePosition += 1;
    index->bucketCount = newCount;
    index->bucketMagic = NameIndexModMagic(newCount);
    index->loadLimit = NameIndexLoadLimit(newCount);
    return -1;
}

int32_t InsertIntoNameIndex(NameIndex* index, const void* key, void* value) {
    index->entryCount += 1;
    if (index->entryCount > index->loadLimit) GrowNameIndex(index);

    auto* entry = static_cast<IndexEntry*>(index->allocator->allocate(sizeof(IndexEntry)));
    if (entry == nullptr) {
        index->entryCount -= 1;
        return 0;
    }
    entry->key = key;
    entry->value = value;
    entry->hash = MixHash(index->hash(static_cast<const char*>(key)));
    PushFront(&index->buckets[NameIndexBucket(entry->hash, index->bucketCount, index->bucketMagic)], entry);
    return -1;
}

void* SearchNameIndex(const NameIndex* index, const char* key) {
    const IndexEqualFunction equal = index->equal;
    return SearchNameIndexHashed(index, index->hash(key),
                                 [equal, key](const char* stored) { return equal(key, stored) != 0; });
}

void ReleaseNameIndex(NameIndex* index) {
    if (index == nullptr) return;
    const IndexAllocator& allocator = *index->allocator;
    for (uint32_t i = 0; i < index->bucketCount; ++i) {
        IndexEntry* entry = index->buckets[i];
        while (entry != nullptr) {
            IndexEntry* next = entry->next;
            allocator.release(entry);
            entry = next;
        }
    }
    allocator.release(index->buckets);
    allocator.release(index);
}

}  // namespace tolsa
