#pragma once
// Where the name index gets its memory. Tests put in an allocator that fails
// on demand, to reach every out-of-memory path.

#include <cstddef>

namespace tolsa {

struct IndexAllocator {
    void* (*allocate)(std::size_t bytes);
    void* (*resize)(void* block, std::size_t bytes);
    void (*release)(void* block);
};

// malloc, realloc and free.
const IndexAllocator& SystemIndexAllocator();

}  // namespace tolsa
