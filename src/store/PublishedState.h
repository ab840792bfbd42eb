#pragma once
// The per-process state that start-up publishes once: the area base, the name
// index and the item count. Once published it never changes, so every call
// reads it with one acquire load.

#include <atomic>
#include <cstdint>

#include "index/NameIndex.h"
#include "store/VariableRecord.h"

namespace tolsa {

struct Store {
    VariableRecord* base = nullptr;
    NameIndex* index = nullptr;
    int32_t count = 0;
    uint64_t areaSize = 0;  // bytes really mapped, at least count * 328
};

extern std::atomic<const Store*> publishedStore;

// Makes `store` the process's state for good. Called once, under the
// start-up lock.
void PublishStore(const Store& store);

// What a call works on while nothing is published: null, or the result of
// one more start-up attempt when the load hooks asked for that (Startup.h).
const Store* StoreForUnpublishedCall();

// The published state, or what StoreForUnpublishedCall gives while there is none.
inline const Store* CurrentStore() {
    const Store* store = publishedStore.load(std::memory_order_acquire);
    if (store != nullptr) [[likely]]
        return store;
    return StoreForUnpublishedCall();
}

}  // namespace tolsa
