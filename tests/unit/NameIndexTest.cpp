// The name index: hash vectors, load limits, creation, growth points, the
// order of chains (which decides which of two equal names is found) and every
// out-of-memory path.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "UnitSupport.h"
#include "index/HashName.h"
#include "index/NameIndex.h"

namespace tolsa {
namespace {

using test::TestAllocator;

constexpr std::size_t kBucketBytes = sizeof(IndexEntry*);

// Keys with fixed addresses, as record name fields are.
struct Key {
    char text[256] = {};
};

std::vector<Key> MakeKeys(std::size_t count, const char* stem = "IORSH_Var") {
    std::vector<Key> keys(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string text = stem + std::to_string(i);
        std::memcpy(keys[i].text, text.c_str(), text.size() + 1);
    }
    return keys;
}

// The invariants of a well-formed index; counts the entries met.
void ExpectWellFormed(const NameIndex* index) {
    ASSERT_LT(index->primePosition, kNameIndexPrimeCount);
    EXPECT_EQ(index->bucketCount, NameIndexPrimes[index->primePosition]);
    EXPECT_EQ(index->loadLimit, NameIndexLoadLimit(index->bucketCount));
    EXPECT_EQ(index->bucketMagic, NameIndexModMagic(index->bucketCount));
    uint32_t entries = 0;
    for (uint32_t b = 0; b < index->bucketCount; ++b) {
        for (const IndexEntry* e = index->buckets[b]; e != nullptr; e = e->next) {
            ++entries;
            EXPECT_EQ(e->hash % index->bucketCount, b) << "entry in the wrong bucket";
            EXPECT_EQ(e->hash, MixHash(index->hash(static_cast<const char*>(e->key))));
        }
    }
    EXPECT_EQ(entries, index->entryCount);
}

// The chains of an index as lists of keys, head first.
using Chains = std::vector<std::deque<const void*>>;
Chains ChainsOf(const NameIndex* index) {
    Chains chains(index->bucketCount);
    for (uint32_t b = 0; b < index->bucketCount; ++b) {
        for (const IndexEntry* e = index->buckets[b]; e != nullptr; e = e->next) chains[b].push_back(e->key);
    }
    return chains;
}

class NameIndexTest : public testing::Test {
protected:
    void TearDown() override {
        ReleaseNameIndex(index_);
        EXPECT_EQ(allocator_.LiveBlocks(), 0u) << "ReleaseNameIndex left blocks behind";
        EXPECT_EQ(allocator_.BadReleases(), 0u);
    }
    NameIndex* Create(uint32_t minimumSize = 16) {
        index_ = CreateNameIndex(minimumSize, HashName, NamesEqual, allocator_.Interface());
        return index_;
    }
    void InsertAll(std::vector<Key>& keys, std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) ASSERT_EQ(InsertIntoNameIndex(index_, keys[i].text, &keys[i]), -1);
    }
    // A bucket-array request of `count` slots.
    static bool IsBuckets(std::size_t bytes, uint32_t count) { return bytes == kBucketBytes * count; }

    TestAllocator allocator_;
    NameIndex* index_ = nullptr;
};

TEST(HashName, Vectors) {
    const struct {
        const char* name;
        uint32_t hash;
    } cases[] = {
        {"abc", 0x00006783u},
        {"", 0u},
        {"\x61\xE9", 0x000005F9u},  // 0xE9 counts as -23
        {"\xE9", 0x0FFFFF19u},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HashName(c.name), c.hash) << c.name;
        EXPECT_EQ(HashStoredName(c.name), c.hash) << c.name;
    }
    // The lookups hash a prefix and the rest in two steps, each bounded.
    std::size_t length = 0;
    EXPECT_EQ(ContinueHashName(HashName("IORSH_"), "Speed", 250, length), HashName("IORSH_Speed"));
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(ContinueHashName(0, "IORSH_Speed", 6, length), HashName("IORSH_"));
    EXPECT_EQ(length, 11u);
}

TEST(HashName, StoredNameIsReadNoFurtherThanItsField) {
    char field[300];
    std::memset(field, 'x', sizeof field);
    char bounded[257];
    std::memset(bounded, 'x', 256);
    bounded[256] = '\0';
    EXPECT_EQ(HashStoredName(field), HashName(bounded));
    field[299] = '\0';
    EXPECT_NE(HashName(field), HashName(bounded)) << "the check above would not tell";
}

TEST(NameIndexBucket, IsTheRemainderForEveryPrime) {
    for (uint32_t count : NameIndexPrimes) {
        const uint64_t magic = NameIndexModMagic(count);
        uint32_t random = count;
        for (uint32_t hash : {0u, 1u, count - 1, count, count + 1, 2 * count - 1, 0x7FFFFFFFu, 0x80000000u,
                              0xFFFFFFFEu, 0xFFFFFFFFu, 0xFFFFFFFFu - 0xFFFFFFFFu % count}) {
            EXPECT_EQ(NameIndexBucket(hash, count, magic), hash % count) << hash << " mod " << count;
        }
        for (int i = 0; i < 10000; ++i) {
            random ^= random << 13;
            random ^= random >> 17;
            random ^= random << 5;
            ASSERT_EQ(NameIndexBucket(random, count, magic), random % count) << random << " mod " << count;
        }
    }
}

TEST(MixHash, VectorsAndBuckets) {
    EXPECT_EQ(MixHash(0x00006783u), 0x612748ABu);
    EXPECT_EQ(MixHash(0x00006783u) % 53, 21u);
    EXPECT_EQ(MixHash(0x00006783u) % 97, 30u);
    EXPECT_EQ(MixHash(0u), 0u);
}

TEST(NamesEqual, WholeNamesOnly) {
    const struct {
        const char* searched;
        const char* stored;
        int32_t equal;
    } cases[] = {
        {"IORSH_Speed", "IORSH_Speed", 1}, {"", "", 1},
        {"IORSH_Speed", "iorsh_speed", 0}, {"IORSH_SPEED", "IORSH_Speed", 0},
        {"IORSH_Spee", "IORSH_Speed", 0},  {"IORSH_Speed", "IORSH_Spee", 0},
        {"IORSH_Speed ", "IORSH_Speed", 0},
    };
    for (const auto& c : cases) {
        // Stored names live in 256-byte fields, with what an earlier, longer
        // name left after the terminator.
        char stored[256];
        std::memset(stored, 'x', sizeof stored);
        std::memcpy(stored, c.stored, std::strlen(c.stored) + 1);
        EXPECT_EQ(NamesEqual(c.searched, stored), c.equal) << c.searched << "|" << c.stored;
    }

    // A stored field without terminator equals nothing, and is not read past.
    char field[257];
    std::memset(field, 'a', sizeof field);
    field[256] = '\0';
    EXPECT_EQ(NamesEqual(field, field), 0);
}

TEST(NameIndexPrimes, TheTable) {
    const uint32_t expected[kNameIndexPrimeCount] = {
        53,       97,       193,      389,       769,       1543,      3079,      6151,      12289,
        24593,    49157,    98317,    196613,    393241,    786433,    1572869,   3145739,   6291469,
        12582917, 25165843, 50331653, 100663319, 201326611, 402653189, 805306457, 1610612741};
    for (uint32_t i = 0; i < kNameIndexPrimeCount; ++i) EXPECT_EQ(NameIndexPrimes[i], expected[i]) << i;
}

TEST(NameIndexLoadLimit, SinglePrecisionRule) {
    // From position 18 up, double precision or a product without single
    // rounding would give other values.
    const struct {
        uint32_t buckets;
        uint32_t limit;
    } cases[] = {
        {53, 35},           {97, 64},           {193, 126},         {389, 253},
        {769, 500},         {1543, 1003},       {12582917, 8178896}, {25165843, 16357799},
        {100663319, 65431157}, {1610612741, 1046898241},
    };
    for (const auto& c : cases) EXPECT_EQ(NameIndexLoadLimit(c.buckets), c.limit) << c.buckets;
}

TEST_F(NameIndexTest, CreationPicksTheFirstPrimeAbove) {
    const struct {
        uint32_t minimumSize;
        uint32_t buckets;
        uint32_t position;
    } cases[] = {{0, 53, 0}, {16, 53, 0}, {52, 53, 0}, {53, 97, 1}, {96, 97, 1}, {97, 193, 2}, {1000, 1543, 5}};
    for (const auto& c : cases) {
        NameIndex* index = Create(c.minimumSize);
        ASSERT_NE(index, nullptr) << c.minimumSize;
        EXPECT_EQ(index->bucketCount, c.buckets) << c.minimumSize;
        EXPECT_EQ(index->primePosition, c.position) << c.minimumSize;
        EXPECT_EQ(index->loadLimit, NameIndexLoadLimit(c.buckets));
        EXPECT_EQ(index->entryCount, 0u);
        for (uint32_t b = 0; b < index->bucketCount; ++b) ASSERT_EQ(index->buckets[b], nullptr);
        ReleaseNameIndex(index);
        index_ = nullptr;
        EXPECT_EQ(allocator_.LiveBlocks(), 0u);
    }
}

TEST_F(NameIndexTest, CreationAboveTwoToTheThirtyAsksForNothing) {
    EXPECT_EQ(Create(0x40000001u), nullptr);
    EXPECT_EQ(Create(0xFFFFFFFFu), nullptr);
    EXPECT_TRUE(allocator_.Requests().empty());
}

TEST_F(NameIndexTest, CreationAtTwoToTheThirtyAsksForTheLastPrime) {
    // Refuse the bucket array, so that nothing huge is allocated.
    allocator_.FailWhen([](TestAllocator::Call, std::size_t, std::size_t bytes) { return bytes > 4096; });
    EXPECT_EQ(Create(0x40000000u), nullptr);
    ASSERT_EQ(allocator_.Requests().size(), 2u);
    EXPECT_EQ(allocator_.Requests()[0].bytes, sizeof(NameIndex));
    EXPECT_EQ(allocator_.Requests()[1].bytes, kBucketBytes * 1610612741u);
    EXPECT_EQ(allocator_.LiveBlocks(), 0u);
}

TEST_F(NameIndexTest, CreationFailures) {
    for (std::size_t failing : {1u, 2u}) {  // the header, then the bucket array
        allocator_.FailAllocationNumber(failing);
        EXPECT_EQ(Create(), nullptr) << "allocation " << failing;
        EXPECT_EQ(allocator_.LiveBlocks(), 0u) << "allocation " << failing;
    }
}

TEST_F(NameIndexTest, GrowsWhenTheCountPassesTheLoadLimit) {
    auto keys = MakeKeys(1100);
    ASSERT_NE(Create(), nullptr);
    std::vector<std::size_t> growths;
    uint32_t buckets = index_->bucketCount;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        ASSERT_EQ(InsertIntoNameIndex(index_, keys[i].text, &keys[i]), -1);
        if (index_->bucketCount != buckets) {
            growths.push_back(i + 1);
            buckets = index_->bucketCount;
            ExpectWellFormed(index_);
        }
        if (i + 1 == 35) {
            EXPECT_EQ(index_->bucketCount, 53u);
        } else if (i + 1 == 36) {
            EXPECT_EQ(index_->bucketCount, 97u);
            EXPECT_EQ(index_->loadLimit, 64u);
            EXPECT_EQ(index_->entryCount, 36u);
        }
    }
    EXPECT_EQ(growths, (std::vector<std::size_t>{36, 65, 127, 254, 501, 1004}));
    EXPECT_EQ(index_->bucketCount, 3079u);
    ExpectWellFormed(index_);
    for (auto& key : keys) ASSERT_EQ(SearchNameIndex(index_, key.text), &key) << key.text;
}

TEST_F(NameIndexTest, WhichOfTwoEqualKeysIsFound) {
    // The first of two entries named Dup is inserted as number `first`, the
    // second right after it; then fillers up to `total` insertions.
    const struct {
        std::size_t first;
        std::size_t total;
        bool laterFound;
    } cases[] = {
        {1, 2, true},      // no growth at all
        {1, 35, true},     // still no growth
        {1, 36, false},    // one growth into a fresh array swaps them
        {1, 64, false},
        {1, 65, true},     // two growths swap them back
        {1, 127, false},   // three
        {34, 36, false},   // the growth comes at the insertion after the pair
        {35, 36, true},    // the growth runs inside the second insertion, before its entry goes in
    };
    for (const auto& c : cases) {
        auto fillers = MakeKeys(c.total);
        Key earlier, later;
        std::strcpy(earlier.text, "IORSH_Dup");
        std::strcpy(later.text, "IORSH_Dup");
        ASSERT_NE(Create(), nullptr);
        std::size_t filler = 0;
        for (std::size_t n = 1; n <= c.total; ++n) {
            if (n == c.first) {
                ASSERT_EQ(InsertIntoNameIndex(index_, earlier.text, &earlier), -1);
            } else if (n == c.first + 1) {
                ASSERT_EQ(InsertIntoNameIndex(index_, later.text, &later), -1);
            } else {
                ASSERT_EQ(InsertIntoNameIndex(index_, fillers[filler].text, &fillers[filler]), -1);
                ++filler;
            }
        }
        EXPECT_EQ(index_->entryCount, c.total) << "both equal keys are counted";
        EXPECT_EQ(SearchNameIndex(index_, "IORSH_Dup"), c.laterFound ? &later : &earlier)
            << "first " << c.first << ", total " << c.total;
        ReleaseNameIndex(index_);
        index_ = nullptr;
    }
}

// The chains that growth must produce, by the order rule, from the
// chains before it.
Chains ExpectedChains(const Chains& old, uint32_t newCount, bool inPlace,
                      const std::map<const void*, uint32_t>& hashes) {
    Chains chains(newCount);
    if (!inPlace) {
        for (const auto& chain : old) {
            for (const void* key : chain) chains[hashes.at(key) % newCount].push_front(key);
        }
        return chains;
    }
    for (std::size_t b = 0; b < old.size(); ++b) chains[b] = old[b];
    for (std::size_t b = 0; b < old.size(); ++b) {
        std::deque<const void*> stay;
        for (const void* key : chains[b]) {
            const uint32_t target = hashes.at(key) % newCount;
            if (target == b) {
                stay.push_back(key);
            } else {
                chains[target].push_front(key);
            }
        }
        chains[b] = stay;
    }
    return chains;
}

TEST_F(NameIndexTest, GrowthKeepsTheChainOrderRule) {
    for (bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace ? "in place" : "fresh array");
        auto keys = MakeKeys(35);
        ASSERT_NE(Create(), nullptr);
        InsertAll(keys, 0, keys.size());
        std::map<const void*, uint32_t> hashes;
        for (const auto& key : keys) hashes[key.text] = MixHash(HashName(key.text));
        const Chains expected = ExpectedChains(ChainsOf(index_), 97, inPlace, hashes);
        // The keys must exercise the rule: some move into an old bucket that is
        // walked later, and some new chain gets two or more entries.
        std::size_t movedForward = 0;
        for (const auto& [key, hash] : hashes) movedForward += hash % 53 < hash % 97 && hash % 97 < 53;
        ASSERT_GT(movedForward, 0u);
        std::size_t longChains = 0;
        for (const auto& chain : expected) longChains += chain.size() > 1;
        ASSERT_GT(longChains, 0u);

        allocator_.ClearRequests();
        if (inPlace) {
            allocator_.FailWhen([](TestAllocator::Call call, std::size_t, std::size_t bytes) {
                return call == TestAllocator::Call::kAllocate && IsBuckets(bytes, 97);
            });
        }
        ASSERT_EQ(GrowNameIndex(index_), -1);
        allocator_.FailNothing();
        const auto& requests = allocator_.Requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests.back().call, inPlace ? TestAllocator::Call::kResize : TestAllocator::Call::kAllocate);
        EXPECT_TRUE(IsBuckets(requests.back().bytes, 97));

        EXPECT_EQ(index_->bucketCount, 97u);
        EXPECT_EQ(index_->primePosition, 1u);
        ExpectWellFormed(index_);
        EXPECT_EQ(ChainsOf(index_), expected);
        for (auto& key : keys) EXPECT_EQ(SearchNameIndex(index_, key.text), &key) << key.text;
        ReleaseNameIndex(index_);
        index_ = nullptr;
    }
}

// Two equal keys whose chain moves (or stays) when 53 buckets become 97.
TEST_F(NameIndexTest, GrowthInPlaceSwapsEqualKeysOnlyWhenTheyMove) {
    auto candidates = MakeKeys(400, "IORSH_Dup");
    const char* staying = nullptr;
    const char* moving = nullptr;
    for (const auto& k : candidates) {
        const uint32_t h = MixHash(HashName(k.text));
        if (h % 53 == h % 97 && staying == nullptr) staying = k.text;
        if (h % 53 != h % 97 && moving == nullptr) moving = k.text;
    }
    ASSERT_NE(staying, nullptr);
    ASSERT_NE(moving, nullptr);

    for (const char* name : {staying, moving}) {
        const bool moves = name == moving;
        SCOPED_TRACE(moves ? "moving chain" : "staying chain");
        Key earlier, later;
        std::strcpy(earlier.text, name);
        std::strcpy(later.text, name);
        ASSERT_NE(Create(), nullptr);
        ASSERT_EQ(InsertIntoNameIndex(index_, earlier.text, &earlier), -1);
        ASSERT_EQ(InsertIntoNameIndex(index_, later.text, &later), -1);
        allocator_.FailWhen([](TestAllocator::Call call, std::size_t, std::size_t bytes) {
            return call == TestAllocator::Call::kAllocate && IsBuckets(bytes, 97);
        });
        ASSERT_EQ(GrowNameIndex(index_), -1);
        allocator_.FailNothing();
        EXPECT_EQ(index_->bucketCount, 97u);
        EXPECT_EQ(SearchNameIndex(index_, name), moves ? &earlier : &later);
        ReleaseNameIndex(index_);
        index_ = nullptr;
    }
}

TEST_F(NameIndexTest, EntryAllocationFailureChangesNothing) {
    auto keys = MakeKeys(40);
    ASSERT_NE(Create(), nullptr);
    InsertAll(keys, 0, 10);
    const std::size_t live = allocator_.LiveBlocks();
    allocator_.FailAllocationNumber(1);
    EXPECT_EQ(InsertIntoNameIndex(index_, keys[10].text, &keys[10]), 0);
    EXPECT_EQ(index_->entryCount, 10u);
    EXPECT_EQ(allocator_.LiveBlocks(), live);
    EXPECT_EQ(SearchNameIndex(index_, keys[10].text), nullptr);
    ExpectWellFormed(index_);

    // At the 36th insertion the growth comes first and stays.
    InsertAll(keys, 11, 36);
    ASSERT_EQ(index_->entryCount, 35u);
    allocator_.FailWhen([](TestAllocator::Call call, std::size_t, std::size_t bytes) {
        return call == TestAllocator::Call::kAllocate && bytes == sizeof(IndexEntry);
    });
    EXPECT_EQ(InsertIntoNameIndex(index_, keys[36].text, &keys[36]), 0);
    allocator_.FailNothing();
    EXPECT_EQ(index_->entryCount, 35u);
    EXPECT_EQ(index_->bucketCount, 97u);
    ExpectWellFormed(index_);
    for (std::size_t i = 0; i < 37; ++i) {
        const bool inserted = i != 10 && i != 36;
        EXPECT_EQ(SearchNameIndex(index_, keys[i].text), inserted ? &keys[i] : nullptr) << keys[i].text;
    }
}

TEST_F(NameIndexTest, GrowthThatCannotAllocateChangesNothing) {
    auto keys = MakeKeys(40);
    ASSERT_NE(Create(), nullptr);
    InsertAll(keys, 0, 35);
    // Neither a fresh array nor a resize of the old one.
    allocator_.FailWhen([](TestAllocator::Call call, std::size_t, std::size_t bytes) {
        return call == TestAllocator::Call::kResize || IsBuckets(bytes, 97);
    });
    IndexEntry** buckets = index_->buckets;
    const Chains before = ChainsOf(index_);
    allocator_.ClearRequests();
    EXPECT_EQ(GrowNameIndex(index_), 0);
    ASSERT_EQ(allocator_.Requests().size(), 2u) << "a fresh array, then a resize";
    EXPECT_EQ(allocator_.Requests()[1].call, TestAllocator::Call::kResize);
    EXPECT_EQ(index_->buckets, buckets);
    EXPECT_EQ(index_->bucketCount, 53u);
    EXPECT_EQ(index_->primePosition, 0u);
    EXPECT_EQ(index_->loadLimit, 35u);
    EXPECT_EQ(ChainsOf(index_), before);

    // The insertion that wanted to grow still adds its entry to the old chains,
    // and the next one tries again.
    allocator_.ClearRequests();
    EXPECT_EQ(InsertIntoNameIndex(index_, keys[35].text, &keys[35]), -1);
    EXPECT_EQ(index_->entryCount, 36u);
    EXPECT_EQ(index_->bucketCount, 53u);
    ExpectWellFormed(index_);
    EXPECT_EQ(SearchNameIndex(index_, keys[35].text), &keys[35]);
    EXPECT_TRUE(IsBuckets(allocator_.Requests().at(0).bytes, 97)) << "the growth was attempted";

    allocator_.FailNothing();
    InsertAll(keys, 36, 37);
    EXPECT_EQ(index_->entryCount, 37u);
    EXPECT_EQ(index_->bucketCount, 97u);
    ExpectWellFormed(index_);
    for (std::size_t i = 0; i < 37; ++i) EXPECT_EQ(SearchNameIndex(index_, keys[i].text), &keys[i]);
}

TEST_F(NameIndexTest, AtTheLastPositionInsertionsOnlyLengthenChains) {
    // An index of 1610612741 buckets cannot be built here; one whose position
    // says it is at the end of the table takes the same path.
    auto keys = MakeKeys(100);
    ASSERT_NE(Create(), nullptr);
    index_->primePosition = kNameIndexPrimeCount - 1;
    IndexEntry** buckets = index_->buckets;
    allocator_.ClearRequests();
    EXPECT_EQ(GrowNameIndex(index_), 0);
    InsertAll(keys, 0, keys.size());
    EXPECT_EQ(index_->entryCount, 100u);
    EXPECT_EQ(index_->bucketCount, 53u);
    EXPECT_EQ(index_->buckets, buckets);
    for (const auto& request : allocator_.Requests()) {
        EXPECT_EQ(request.call, TestAllocator::Call::kAllocate);
        EXPECT_EQ(request.bytes, sizeof(IndexEntry)) << "only entries are allocated";
    }
    EXPECT_EQ(allocator_.Requests().size(), 100u);
    for (auto& key : keys) EXPECT_EQ(SearchNameIndex(index_, key.text), &key);
}

int equalCalls = 0;
int32_t CountingEqual(const char* searched, const char* stored) {
    ++equalCalls;
    return NamesEqual(searched, stored);
}

TEST_F(NameIndexTest, SearchComparesStoredHashesFirstAndWholeNames) {
    auto keys = MakeKeys(30);
    std::strcpy(keys[0].text, "IORSH_Speed");
    index_ = CreateNameIndex(16, HashName, CountingEqual, allocator_.Interface());
    ASSERT_NE(index_, nullptr);
    InsertAll(keys, 0, keys.size());

    equalCalls = 0;
    EXPECT_EQ(SearchNameIndex(index_, "IORSH_Speed"), &keys[0]);
    EXPECT_EQ(equalCalls, 1);
    for (const char* variant : {"iorsh_speed", "IORSH_SPEED", "IORSH_Spee", "IORSH_Speed ", "IORSH_Speedx", "Speed",
                                "MEMSH_Speed", ""}) {
        ASSERT_NE(MixHash(HashName(variant)), MixHash(HashName("IORSH_Speed")));
        equalCalls = 0;
        EXPECT_EQ(SearchNameIndex(index_, variant), nullptr) << variant;
        EXPECT_EQ(equalCalls, 0) << "names compared although hashes differ: " << variant;
    }
}

TEST_F(NameIndexTest, KeyChangedAfterInsertionIsFoundUnderNeitherName) {
    Key key;
    std::strcpy(key.text, "IORSH_Speed");
    ASSERT_NE(Create(), nullptr);
    ASSERT_EQ(InsertIntoNameIndex(index_, key.text, &key), -1);
    std::strcpy(key.text, "IORSH_Other");
    ASSERT_NE(MixHash(HashName("IORSH_Speed")), MixHash(HashName("IORSH_Other")));
    EXPECT_EQ(SearchNameIndex(index_, "IORSH_Speed"), nullptr);
    EXPECT_EQ(SearchNameIndex(index_, "IORSH_Other"), nullptr);
}

}  // namespace
}  // namespace tolsa
