#include "store/Lookup.h"

#include <cstring>

#include "index/HashName.h"
#include "index/NameIndex.h"
#include "store/Log.h"

namespace tolsa {

namespace {

// Compares prefix + rest, whose lengths the hash pass measured, with a name
// stored in a 256-byte field. memcmp reads no further than the field, nor
// beyond either string's terminator.
bool StoredNameEquals(NameRef name, std::size_t prefixLength, std::size_t restLength, const char* stored) {
    return (prefixLength == 0 || std::memcmp(stored, name.prefix, prefixLength) == 0) &&
           std::memcmp(stored + prefixLength, name.rest, restLength + 1) == 0;
}

}  // namespace

VariableRecord* FindVariableByName(const Store* store, NameRef name) {
    if (store != nullptr && store->index != nullptr) {
        std::size_t prefixLength = 0, restLength = 0;
        const uint32_t prefixHash = ContinueHashName(0, name.prefix, prefixLength);
        const uint32_t hash = ContinueHashName(prefixHash, name.rest, restLength);
        // A name too long for the field matches no record.
        if (prefixLength + restLength < kNameFieldSize) {
            void* found = SearchNameIndexHashed(store->index, hash, [&](const char* stored) {
                return StoredNameEquals(name, prefixLength, restLength, stored);
            });
            if (found != nullptr) return static_cast<VariableRecord*>(found);
        }
    }
    ProcessLog().Line({"tried to access non-existing variable ", name.prefix, name.rest, "\n"});
    return nullptr;
}

void LogIndexOutOfRange(const Store* store, int32_t index) {
    const int32_t count = store != nullptr ? store->count : 0;
    // The bound is computed in 32 bits: "(0 - -1)" when nothing is published.
    const auto last = static_cast<int32_t>(static_cast<uint32_t>(count) - 1u);
    ProcessLog().Line({"tried to access variable outside valid range (0 - ", Decimal(last), ") ", Decimal(index), "\n"});
}

}  // namespace tolsa
