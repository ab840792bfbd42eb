#include "index/HashName.h"

#include <cstddef>

namespace tolsa {

namespace {
constexpr std::size_t kStoredNameField = 256;
}

uint32_t HashStoredName(const char* stored) {
    // HashName's steps, stopped at the field's end.
    uint32_t shifted = 0;
    for (std::size_t i = 0; i < kStoredNameField && stored[i] != '\0'; ++i) shifted = HashNameStep(shifted, stored[i]);
    return shifted >> 4;
}

int32_t NamesEqual(const char* searched, const char* stored) {
    for (std::size_t i = 0; i < kStoredNameField; ++i) {
        if (searched[i] != stored[i]) return 0;
        if (searched[i] == '\0') return 1;
    }
    return 0;  // the stored name has no terminator: it equals nothing
}

}  // namespace tolsa
