#pragma once
// The name hash (the ELF symbol hash over signed bytes), the mixing the index
// applies on top of it, and the name equality. Insertion and search both go
// through these: the hash and mixing decide bucket placement and therefore
// which of two equal names a search finds, so they must not change.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tolsa {

// Bytes of a record's name field; no stored name is read past it.
inline constexpr std::size_t kStoredNameField = 256;

// Each step is h = (h << 4) + c, then the top nibble g is folded into bits
// 4..7 and cleared. The loop keeps h << 4 instead of h: the clearing is then
// implied by the next shift, and the fold becomes (x >> 20) & 0xF00, which
// takes two of the six dependent operations per byte off the critical path.
constexpr uint32_t HashNameStep(uint32_t shifted, char c) {
    const uint32_t x = shifted + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)));
    return (x << 4) ^ ((x >> 20) & 0xF00u);
}

// The one hash loop. Continues hash `h` over the bytes of `text` up to its
// NUL or `limit` bytes, whichever comes first, so that a name given in two
// pieces (a prefix and the rest) hashes as one string and a stored name is
// read no further than its field; adds the bytes hashed to `length`, so that
// no caller measures the name again.
constexpr uint32_t ContinueHashName(uint32_t h, const char* text, std::size_t limit, std::size_t& length) {
    uint32_t shifted = h << 4;
    std::size_t i = 0;
    for (; i < limit && text[i] != '\0'; ++i) shifted = HashNameStep(shifted, text[i]);
    length += i;
    return shifted >> 4;
}

// Hash of a NUL-terminated name; the empty name hashes to 0.
constexpr uint32_t HashName(const char* name) {
    std::size_t length = 0;
    return ContinueHashName(0, name, SIZE_MAX, length);
}

// HashName of a name stored in a record field: the same value for every
// terminated name, and the first 256 bytes' for one that is not.
constexpr uint32_t HashStoredName(const char* stored) {
    std::size_t length = 0;
    return ContinueHashName(0, stored, kStoredNameField, length);
}

static_assert(HashName("") == 0 && HashName("abc") == 0x00006783u);
static_assert(HashName("a\xE9") == 0x000005F9u && HashName("\xE9") == 0x0FFFFF19u);

// The mixing applied to every hash the index stores or searches with.
constexpr uint32_t MixHash(uint32_t h) {
    h += ~(h << 9);
    h ^= (h >> 14) | (h << 18);
    h += h << 4;
    h ^= (h >> 10) | (h << 22);
    return h;
}

// The one name equality: whether `prefix` + `rest`, of the lengths their
// hashing counted, equals the name in a 256-byte field up to and including
// its terminator. The lengths are known and the sum fits the field, so a
// memcmp of exactly those bytes decides it without looking for terminators:
// `rest` ends in its NUL at restLength, and a stored name that is shorter,
// longer or unterminated differs at or before that byte. Nothing past the
// field or past either searched string is read.
inline bool StoredNameEquals(const char* prefix, std::size_t prefixLength, const char* rest, std::size_t restLength,
                             const char* stored) {
    return prefixLength + restLength < kStoredNameField &&
           (prefixLength == 0 || std::memcmp(stored, prefix, prefixLength) == 0) &&
           std::memcmp(stored + prefixLength, rest, restLength + 1) == 0;
}

// The equality the library gives the index: 1 when equal, 0 otherwise.
inline int32_t NamesEqual(const char* searched, const char* stored) {
    return StoredNameEquals("", 0, searched, strnlen(searched, kStoredNameField), stored) ? 1 : 0;
}

}  // namespace tolsa
