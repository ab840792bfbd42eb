#pragma once
// The generic operations behind the exported functions, with the results the
// exports return. The by-name ones take a NameRef so that the prefixed
// families reach them without building a full name first.

#include <cstdint>

#include "store/Lookup.h"
#include "store/PublishedState.h"
#include "store/ValueCopy.h"

namespace tolsa::access {

int32_t GetIdent(NameRef name);
char GetType(NameRef name);
char GetType(int32_t index);
int32_t GetSize(NameRef name);
int32_t GetSize(int32_t index);
int32_t Write(NameRef name, const void* source);
int32_t Read(NameRef name, void* destination);
int32_t ReadName(int32_t index, char* destination);

// Out of range, or nothing published yet: the long way, through start-up's
// retry and the range line of the log.
int32_t WriteSlowly(int32_t index, const void* source);
int32_t ReadSlowly(int32_t index, void* destination);

// The published store when `index` is in its range, else null.
inline const Store* InRange(int32_t index) {
    const Store* store = publishedStore.load(std::memory_order_acquire);
    return store != nullptr && static_cast<uint32_t>(index) < static_cast<uint32_t>(store->count) ? store : nullptr;
}

// Access by index is inline, so that each export holds its whole fast path:
// no second jump and no frame between the caller and the copy.
inline int32_t Write(int32_t index, const void* source) {
    const Store* store = InRange(index);
    if (store == nullptr) [[unlikely]]
        return WriteSlowly(index, source);
    WriteCopyByIndex(store->base[index], source);
    return 0;
}

inline int32_t Read(int32_t index, void* destination) {
    const Store* store = InRange(index);
    if (store == nullptr) [[unlikely]]
        return ReadSlowly(index, destination);
    ReadCopy(store->base[index], destination);
    return 0;
}

}  // namespace tolsa::access
