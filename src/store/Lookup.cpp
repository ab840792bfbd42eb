#include "store/Lookup.h"

#include "index/HashName.h"
#include "index/NameIndex.h"
#include "store/Log.h"

namespace tolsa {

namespace {

// Compares prefix + rest with a name stored in a 256-byte field, reading no
// further than the field.
bool StoredNameEquals(NameRef name, const char* stored) {
    std::size_t i = 0;
    for (const char* p = name.prefix; *p != '\0'; ++p, ++i) {
        if (i == kNameFieldSize || stored[i] != *p) return false;
    }
    for (const char* p = name.rest;; ++p, ++i) {
        if (i == kNameFieldSize || stored[i] != *p) return false;
        if (*p == '\0') return true;
    }
}

}  // namespace

VariableRecord* FindVariableByName(const Store* store, NameRef name) {
    if (store != nullptr && store->index != nullptr) {
        const uint32_t hash = ContinueHashName(ContinueHashName(0, name.prefix), name.rest);
        void* found = SearchNameIndexHashed(store->index, hash,
                                            [name](const char* stored) { return StoredNameEquals(name, stored); });
        if (found != nullptr) return static_cast<VariableRecord*>(found);
    }
    ProcessLog().Line({"tried to access non-existing variable ", name.prefix, name.rest, "\n"});
    return nullptr;
}

VariableRecord* FindVariableByIndex(const Store* store, int32_t index) {
    const int32_t count = store != nullptr ? store->count : 0;
    if (index >= 0 && index < count) return store->base + index;
    // The bound is computed in 32 bits: "(0 - -1)" when nothing is published.
    const auto last = static_cast<int32_t>(static_cast<uint32_t>(count) - 1u);
    ProcessLog().Line({"tried to access variable outside valid range (0 - ", Decimal(last), ") ", Decimal(index), "\n"});
    return nullptr;
}

}  // namespace tolsa
