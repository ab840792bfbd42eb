#pragma once
// The name hash: the ELF symbol hash over signed bytes, and the mixing the
// index applies on top of it. Both decide bucket placement and therefore which
// of two equal names a search finds, so they must not change.

#include <cstddef>
#include <cstdint>

namespace tolsa {

// Continues a name hash over the bytes of `text` up to its NUL, so that a
// name given in two pieces (a prefix and the rest) hashes as one string, and
// counts those bytes into `length`, so that no caller measures the name again.
//
// Each step is h = (h << 4) + c, then the top nibble g is folded into bits
// 4..7 and cleared. The loop keeps h << 4 instead of h: the clearing is then
// implied by the next shift, and the fold becomes (x >> 20) & 0xF00, which
// takes two of the six dependent operations per byte off the critical path.
constexpr uint32_t HashNameStep(uint32_t shifted, char c) {
    const uint32_t x = shifted + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)));
    return (x << 4) ^ ((x >> 20) & 0xF00u);
}

constexpr uint32_t ContinueHashName(uint32_t h, const char* text, std::size_t& length) {
    uint32_t shifted = h << 4;
    const char* p = text;
    for (; *p != '\0'; ++p) shifted = HashNameStep(shifted, *p);
    length += static_cast<std::size_t>(p - text);
    return shifted >> 4;
}

constexpr uint32_t ContinueHashName(uint32_t h, const char* text) {
    std::size_t length = 0;
    return ContinueHashName(h, text, length);
}

// Hash of a NUL-terminated name; the empty name hashes to 0.
constexpr uint32_t HashName(const char* name) { return ContinueHashName(0, name); }

static_assert(HashName("") == 0 && HashName("abc") == 0x00006783u);
static_assert(HashName("a\xE9") == 0x000005F9u && HashName("\xE9") == 0x0FFFFF19u);
static_assert(HashName("IORSH_Speed") == ContinueHashName(HashName("IORSH_"), "Speed"));

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
