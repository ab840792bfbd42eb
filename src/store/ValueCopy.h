#pragma once
// How values move between a record and caller memory. Only strings ('$') are
// copied differently from everything else; other letters copy exactly the
// record's size, nothing for a letter outside the table.

#include "store/VariableRecord.h"

namespace tolsa {

// By index: a string is copied with its terminator, at most 64 bytes, the rest
// of the field cleared and byte 63 forced to NUL.
void WriteCopyByIndex(VariableRecord& record, const void* source);

// By name: a string is measured; longer than the size, its first size bytes
// go in and byte 63 becomes NUL; otherwise it goes in with its terminator and
// the bytes after that keep what they held.
void WriteCopyByName(VariableRecord& record, const void* source);

// A string: exactly 64 bytes out, NUL-padded, byte 63 NUL.
void ReadCopy(const VariableRecord& record, void* destination);

// The full name with its terminator, at most 256 bytes, always terminated.
void NameCopy(const VariableRecord& record, char* destination);

}  // namespace tolsa
