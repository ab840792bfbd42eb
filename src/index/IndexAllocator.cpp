#include "index/IndexAllocator.h"

#include <cstdlib>

namespace tolsa {

const IndexAllocator& SystemIndexAllocator() {
    static constexpr IndexAllocator system{std::malloc, std::realloc, std::free};
    return system;
}

}  // namespace tolsa
