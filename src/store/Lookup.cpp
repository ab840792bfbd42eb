#include "store/Lookup.h"

#include <cstring>

#include "index/HashName.h"
#include "index/NameIndex.h"
#include "store/Log.h"

namespace tolsa {

VariableRecord* FindVariableByName(const Store* store, NameRef name) {
    if (store != nullptr && store->index != nullptr) {
        // Hashed no further than a field holds: a longer name matches no record.
        std::size_t prefixLength = 0, restLength = 0;
        const uint32_t prefixHash = ContinueHashName(0, name.prefix, kNameFieldSize, prefixLength);
        const uint32_t hash = ContinueHashName(prefixHash, name.rest, kNameFieldSize - prefixLength, restLength);
        void* found = SearchNameIndexHashed(store->index, hash, [&](const char* stored) {
            return StoredNameEquals(name.prefix, prefixLength, name.rest, restLength, stored);
        });
        if (found != nullptr) return static_cast<VariableRecord*>(found);
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
