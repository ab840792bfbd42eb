// Insertions into and searches of the name index, against a model: a
// std::unordered_multimap for what is there, and for each key the order in
// which its entries sit in their chain, which decides the one a search finds.
// Insertion puts an entry first; growth into a fresh array reverses a key's
// entries, growth in place reverses them only when they move to another
// bucket. The allocator fails on demand, so both growths and a failed entry
// allocation are reached.
//
// Input: a sequence of operations. Byte 1: bit 0 search (1) or insert (0);
// bits 1-2 which allocation fails during an insertion (none, fresh bucket
// arrays, fresh arrays and resizing, the entry). Byte 2: the key, its length
// (0-3) in the low bits and characters from a small alphabet, one with the top
// bit set, so that equal keys and signed hashing come up often.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <unordered_map>

#include "FuzzCheck.h"
#include "index/HashName.h"
#include "index/NameIndex.h"

namespace {

bool failFresh = false;   // bucket arrays
bool failResize = false;  // growth in place
bool failEntry = false;   // entries

void* Allocate(std::size_t bytes) {
    if (bytes == sizeof(tolsa::IndexEntry) ? failEntry : (failFresh && bytes != sizeof(tolsa::NameIndex))) return nullptr;
    return std::malloc(bytes);
}
void* Resize(void* block, std::size_t bytes) { return failResize ? nullptr : std::realloc(block, bytes); }
void Release(void* block) { std::free(block); }
const tolsa::IndexAllocator kFaultyAllocator{Allocate, Resize, Release};

int32_t Equal(const char* a, const char* b) { return std::strcmp(a, b) == 0 ? 1 : 0; }

std::string MakeKey(uint8_t byte) {
    static const char alphabet[4] = {'a', 'b', 'A', '\xE9'};
    std::string key;
    for (unsigned i = 0; i < (byte & 3u); ++i) key.push_back(alphabet[(byte >> (2 + 2 * i)) & 3u]);
    return key;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    failFresh = failResize = failEntry = false;
    tolsa::NameIndex* index = tolsa::CreateNameIndex(16, tolsa::HashName, Equal, kFaultyAllocator);
    FUZZ_CHECK(index != nullptr && index->bucketCount == 53 && index->loadLimit == 35);

    std::deque<std::string> keys;  // the index keeps pointers to them
    std::deque<int> values;
    std::unordered_multimap<std::string, int> model;
    std::unordered_map<std::string, std::deque<int>> chainOrder;  // value numbers, first found first

    for (std::size_t at = 0; at + 1 < size; at += 2) {
        const uint8_t op = data[at];
        const std::string key = MakeKey(data[at + 1]);
        if (op & 1u) {
            void* found = tolsa::SearchNameIndex(index, key.c_str());
            const auto order = chainOrder.find(key);
            if (model.count(key) == 0) {
                FUZZ_CHECK(found == nullptr);
            } else {
                FUZZ_CHECK(found != nullptr);
                const int number = *static_cast<int*>(found);
                FUZZ_CHECK(keys[static_cast<std::size_t>(number)] == key);
                FUZZ_CHECK(order != chainOrder.end() && number == order->second.front());
            }
            continue;
        }
        const unsigned fault = (op >> 1) & 3u;
        failFresh = fault == 1 || fault == 2;
        failResize = fault == 2;
        failEntry = fault == 3;
        keys.push_back(key);
        values.push_back(static_cast<int>(values.size()));
        const uint32_t oldCount = index->bucketCount;
        const bool growthDue = index->entryCount + 1 > index->loadLimit;
        const uint32_t entriesBefore = index->entryCount;
        const int32_t result = tolsa::InsertIntoNameIndex(index, keys.back().c_str(), &values.back());
        const uint32_t newCount = index->bucketCount;
        failFresh = failResize = failEntry = false;

        // Growth comes exactly when due, one step, unless neither array could be had.
        FUZZ_CHECK((newCount != oldCount) == (growthDue && fault != 2));
        if (newCount != oldCount) {
            for (auto& [name, order] : chainOrder) {
                const uint32_t hash = tolsa::MixHash(tolsa::HashName(name.c_str()));
                const bool moved = fault != 1 || hash % newCount != hash % oldCount;
                if (moved) order = std::deque<int>(order.rbegin(), order.rend());
            }
        }
        if (fault == 3) {
            FUZZ_CHECK(result == 0 && index->entryCount == entriesBefore);
        } else {
            FUZZ_CHECK(result == -1 && index->entryCount == entriesBefore + 1);
            model.emplace(key, values.back());
            chainOrder[key].push_front(values.back());
        }
        FUZZ_CHECK(index->entryCount == model.size());
        FUZZ_CHECK(index->bucketCount == tolsa::NameIndexPrimes[index->primePosition]);
        FUZZ_CHECK(index->loadLimit == tolsa::NameIndexLoadLimit(index->bucketCount));
    }
    tolsa::ReleaseNameIndex(index);
    return 0;
}
