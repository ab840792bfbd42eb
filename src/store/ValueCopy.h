#pragma once
// How values move between a record and caller memory. Only strings ('$') are
// copied differently from everything else; other letters copy exactly the
// record's size, nothing for a letter outside the table.
//
// The dispatch and the raw copies are inline: they are most of what an access
// by index costs, and the common sizes become single moves.

#include <cstring>

#include <emmintrin.h>  // SSE2: every x86-64 target has it

#include "store/VariableRecord.h"

namespace tolsa {

namespace copy_detail {

// Copies a raw value of `size` bytes; sizes come from shared memory, so
// anything outside 0..64 copies nothing rather than overrun the field.
// The 4- and 8-byte letters come first and fall through: most variables
// are one of them, and a taken branch costs a fetch cycle on every read.
inline void CopyRaw(void* to, const void* from, int32_t size) {
    if (size == 4) [[likely]] {
        std::memcpy(to, from, 4);
    } else if (size == 8) [[likely]] {
        std::memcpy(to, from, 8);
    } else if (size == 1) {
        std::memcpy(to, from, 1);
    } else if (size == 2) {
        std::memcpy(to, from, 2);
    } else if (size > 0 && size <= static_cast<int32_t>(kValueFieldSize)) {
        std::memcpy(to, from, static_cast<std::size_t>(size));
    }
}

// Asks for the value's cache line in a state that may be written before the
// type and size are read from it: read first, the line would arrive shared
// and the store right after would need a second transfer from the process
// that last read it. An explicit prefetchw, since __builtin_prefetch(p, 1)
// becomes a plain read prefetch (prefetcht0) unless the compiler is told it
// may use the instruction (-mprfchw). A hint: it never faults.
inline void PrefetchForWrite(const VariableRecord& record) {
    asm volatile("prefetchw %0" : : "m"(record.value[0]) : "memory");
}

void WriteStringByIndex(VariableRecord& record, const void* source);
void WriteStringByName(VariableRecord& record, const void* source);

// The same result as a bounded strncpy of 64 bytes with byte 63 cleared, in
// one pass and without a byte loop: the value field is always 64 readable
// bytes, so it is read whole and its zero bytes found with one compare per 16.
// A field written by index, or by name over a string no longer than the new
// one, holds its string with every byte after the first NUL clear already: it
// is stored as it was read. Otherwise every byte from the first NUL on is
// masked off. Inline: it is most of what reading a string by index costs.
inline void ReadString(const VariableRecord& record, void* destination) {
    const auto* from = reinterpret_cast<const __m128i*>(record.value);
    const __m128i c0 = _mm_loadu_si128(from), c1 = _mm_loadu_si128(from + 1);
    const __m128i c2 = _mm_loadu_si128(from + 2), c3 = _mm_loadu_si128(from + 3);
    const __m128i zero = _mm_setzero_si128();
    const auto zeros = [&zero](__m128i chunk) {
        return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, zero))));
    };
    const uint64_t nonZero = ~(zeros(c0) | zeros(c1) << 16 | zeros(c2) << 32 | zeros(c3) << 48);
    auto* out = static_cast<__m128i*>(destination);
    // The non-zero bytes are exactly bytes 0 to L-1, with L at most 63.
    if ((nonZero & (nonZero + 1)) == 0 && (nonZero >> 63) == 0) [[likely]] {
        _mm_storeu_si128(out, c0);
        _mm_storeu_si128(out + 1, c1);
        _mm_storeu_si128(out + 2, c2);
        _mm_storeu_si128(out + 3, c3);
        return;
    }
    // The first NUL, byte 63 if there is none before it.
    const auto length = static_cast<char>(__builtin_ctzll(~nonZero | uint64_t{1} << 63));
    const __m128i limit = _mm_set1_epi8(length);
    const auto keep = [&limit](__m128i chunk, char b) {
        const __m128i positions = _mm_setr_epi8(b, b + 1, b + 2, b + 3, b + 4, b + 5, b + 6, b + 7, b + 8, b + 9,
                                                b + 10, b + 11, b + 12, b + 13, b + 14, b + 15);
        return _mm_and_si128(chunk, _mm_cmpgt_epi8(limit, positions));
    };
    _mm_storeu_si128(out, keep(c0, 0));
    _mm_storeu_si128(out + 1, keep(c1, 16));
    _mm_storeu_si128(out + 2, keep(c2, 32));
    _mm_storeu_si128(out + 3, keep(c3, 48));
}

}  // namespace copy_detail

// By index: a string is copied with its terminator, at most 64 bytes, the rest
// of the field cleared and byte 63 forced to NUL.
inline void WriteCopyByIndex(VariableRecord& record, const void* source) {
    copy_detail::PrefetchForWrite(record);
    if (record.type == kStringType) {
        copy_detail::WriteStringByIndex(record, source);
    } else {
        copy_detail::CopyRaw(record.value, source, record.size);
    }
}

// By name: a string is measured; longer than the size, its first size bytes
// go in and byte 63 becomes NUL; otherwise it goes in with its terminator and
// the bytes after that keep what they held.
inline void WriteCopyByName(VariableRecord& record, const void* source) {
    copy_detail::PrefetchForWrite(record);
    if (record.type == kStringType) {
        copy_detail::WriteStringByName(record, source);
    } else {
        copy_detail::CopyRaw(record.value, source, record.size);
    }
}

// A string: exactly 64 bytes out, NUL-padded, byte 63 NUL.
inline void ReadCopy(const VariableRecord& record, void* destination) {
    if (record.type == kStringType) {
        copy_detail::ReadString(record, destination);
    } else {
        copy_detail::CopyRaw(destination, record.value, record.size);
    }
}

// The full name with its terminator, at most 256 bytes, always terminated.
void NameCopy(const VariableRecord& record, char* destination);

}  // namespace tolsa
