#pragma once
// The two lookups through which every access passes. Each writes one log
// line when it finds nothing; nothing else in the library logs a lookup.

#include <cstdint>

#include "store/PublishedState.h"

namespace tolsa {

// A full variable name, given whole (empty prefix) or as a family prefix and
// a declared name, so that no caller has to join the two into a buffer.
struct NameRef {
    const char* prefix;
    const char* rest;
};

inline NameRef FullName(const char* name) { return {"", name}; }

// The record named `name`, or null after logging the miss line.
VariableRecord* FindVariableByName(const Store* store, NameRef name);

// Writes the range line for `index`; the cold half of FindVariableByIndex.
void LogIndexOutOfRange(const Store* store, int32_t index);

// Record `index`, or null after logging the range line. Inline: every access
// by index is this range check and a copy.
inline VariableRecord* FindVariableByIndex(const Store* store, int32_t index) {
    if (store != nullptr && index >= 0 && index < store->count) [[likely]]
        return store->base + index;
    LogIndexOutOfRange(store, index);
    return nullptr;
}

}  // namespace tolsa
