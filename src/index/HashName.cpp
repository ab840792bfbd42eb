#include "index/HashName.h"

#include <cstddef>

namespace tolsa {

namespace {
constexpr std::size_t kStoredNameField = 256;
}

uint32_t HashStoredName(const char* stored) {
    char bounded[kStoredNameField + 1];
    std::size_t length = 0;
    while (length < kStoredNameField && stored[length] != '\0') {
        bounded[length] = stored[length];
        ++length;
    }
    bounded[length] = '\0';
    return HashName(bounded);
}

int32_t NamesEqual(const char* searched, const char* stored) {
    for (std::size_t i = 0; i < kStoredNameField; ++i) {
        if (searched[i] != stored[i]) return 0;
        if (searched[i] == '\0') return 1;
    }
    return 0;  // the stored name has no terminator: it equals nothing
}

}  // namespace tolsa
