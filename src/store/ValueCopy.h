#pragma once
// How values move between a record and caller memory. Only strings ('$') are
// copied differently from everything else; other letters copy exactly the
// record's size, nothing for a letter outside the table.
//
// The dispatch and the raw copies are inline: they are most of what an access
// by index costs, and the common sizes become single moves.

#include <cstring>

#include "store/VariableRecord.h"

namespace tolsa {

namespace copy_detail {

// Copies a raw value of `size` bytes; sizes come from shared memory, so
// anything outside 0..64 copies nothing rather than overrun the field.
inline void CopyRaw(void* to, const void* from, int32_t size) {
    switch (size) {
        case 1: std::memcpy(to, from, 1); return;
        case 2: std::memcpy(to, from, 2); return;
        case 4: std::memcpy(to, from, 4); return;
        case 8: std::memcpy(to, from, 8); return;
        default:
            if (size > 0 && size <= static_cast<int32_t>(kValueFieldSize)) std::memcpy(to, from, static_cast<std::size_t>(size));
    }
}

void WriteStringByIndex(VariableRecord& record, const void* source);
void WriteStringByName(VariableRecord& record, const void* source);
void ReadString(const VariableRecord& record, void* destination);

}  // namespace copy_detail

// By index: a string is copied with its terminator, at most 64 bytes, the rest
// of the field cleared and byte 63 forced to NUL.
inline void WriteCopyByIndex(VariableRecord& record, const void* source) {
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
