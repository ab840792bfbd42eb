#pragma once
// The name hash: the ELF symbol hash over signed bytes, and the mixing the
// index applies on top of it. Both decide bucket placement and therefore which
// of two equal names a search finds, so they must not change.

#include <cstdint>

namespace tolsa {

// Continues a name hash over the bytes of `text` up to its NUL, so that a
// name given in two pieces (a prefix and the rest) hashes as one string.
constexpr uint32_t ContinueHashName(uint32_t h, const char* text) {
    for (; *text != '\0'; ++text) {
        h = (h << 4) + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*text)));
        const uint32_t g = h & 0xF0000000u;
        if (g != 0) h ^= g >> 24;
        h &= ~g;
    }
    return h;
}

// Hash of a NUL-terminated name; the empty name hashes to 0.
constexpr uint32_t HashName(const char* name) { return ContinueHashName(0, name); }

// The mixing applied to every hash the index stores or searches with.
constexpr uint32_t MixHash(uint32_t h) {
    h += ~(h << 9);
    h ^= (h >> 14) | (h << 18);
    h += h << 4;
    h ^= (h >> 10) | (h << 22);
    return h;
}

// HashName of a name stored in a 256-byte record field, read no further
// than the field: the same value for every terminated name.
uint32_t HashStoredName(const char* stored);

// 1 when the two names are equal up to and including the terminator. The
// second name lies in a 256-byte record field that another program may have
// left unterminated, so it is never read past that field.
int32_t NamesEqual(const char* searched, const char* stored);

}  // namespace tolsa
