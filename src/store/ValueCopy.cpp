#include "store/ValueCopy.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tolsa {

namespace {

// strncpy of 64 bytes with byte 63 cleared, for both directions: the first
// characters up to the NUL (at most 63, since byte 63 ends up NUL anyway),
// then NUL bytes to the end of the 64.
void BoundedStringCopy(unsigned char* to, const unsigned char* from) {
    const std::size_t length = strnlen(reinterpret_cast<const char*>(from), kValueFieldSize - 1);
    std::memcpy(to, from, length);
    std::memset(to + length, 0, kValueFieldSize - length);
}

std::size_t RawSize(const VariableRecord& record) {
    const int32_t size = record.size;
    return size > 0 && size <= static_cast<int32_t>(kValueFieldSize) ? static_cast<std::size_t>(size) : 0;
}

}  // namespace

namespace copy_detail {

void WriteStringByIndex(VariableRecord& record, const void* source) {
    BoundedStringCopy(record.value, static_cast<const unsigned char*>(source));
}

void WriteStringByName(VariableRecord& record, const void* source) {
    const auto* text = static_cast<const char*>(source);
    // At most 63 characters and the terminator fit, whatever size the record claims.
    const std::size_t size = std::min(RawSize(record), kValueFieldSize - 1);
    // Measure no further than needed to know whether it fits.
    const void* end = std::memchr(text, '\0', size + 1);
    if (end == nullptr) {
        std::memcpy(record.value, text, size);
        record.value[kValueFieldSize - 1] = '\0';
    } else {
        std::memcpy(record.value, text, static_cast<std::size_t>(static_cast<const char*>(end) - text) + 1);
    }
}

// The same result as BoundedStringCopy, without a byte loop: the value field
// is always 64 readable bytes, so it is read whole, the first NUL is found
// with one compare per 16 bytes, and every byte from there on is masked off.
void ReadString(const VariableRecord& record, void* destination) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    __m128i chunks[4];
    uint64_t nuls = uint64_t{1} << 63;  // byte 63 ends up NUL in any case
    for (int k = 0; k < 4; ++k) {
        chunks[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(record.value + 16 * k));
        nuls |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunks[k], zero))))
                << (16 * k);
    }
    const auto length = static_cast<char>(__builtin_ctzll(nuls));
    const __m128i limit = _mm_set1_epi8(length);
    auto* out = static_cast<unsigned char*>(destination);
    for (int k = 0; k < 4; ++k) {
        const char b = static_cast<char>(16 * k);
        const __m128i positions = _mm_setr_epi8(b, b + 1, b + 2, b + 3, b + 4, b + 5, b + 6, b + 7, b + 8, b + 9,
                                                b + 10, b + 11, b + 12, b + 13, b + 14, b + 15);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * k),
                         _mm_and_si128(chunks[k], _mm_cmpgt_epi8(limit, positions)));
    }
#else
    BoundedStringCopy(static_cast<unsigned char*>(destination), record.value);
#endif
}

}  // namespace copy_detail

void NameCopy(const VariableRecord& record, char* destination) {
    std::size_t i = 0;
    for (; i < kNameFieldSize && record.name[i] != '\0'; ++i) destination[i] = record.name[i];
    destination[i < kNameFieldSize ? i : kNameFieldSize - 1] = '\0';
}

}  // namespace tolsa
