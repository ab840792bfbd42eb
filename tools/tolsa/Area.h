#pragma once
// The tool's only contact with the library: the record walk through the
// exported base pointer, item size and count, the name lookup, and the write.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Record.h"

namespace tolsa::tool {

// Records, values and patterns are the codec's, shared with every front end.
using namespace codec;

// Whether this process's start-up published an area.
bool AreaPublished();
// The area's address in this process, as the log prints it: 16 hex digits.
std::string AreaAddress();

// Copies of every record, in index order; none when no area is published.
std::vector<Record> ReadRecords();
Record ReadRecord(int32_t index);  // index must be below the count

// A command-line reference to a variable: a full name, or #INDEX.
struct Target {
    bool found = false;
    int32_t index = -1;
    std::string why;  // the message when not found
};
Target Resolve(std::string_view reference);

// Writes `bytes` (64 of them; strings NUL-terminated) through the library.
bool WriteValue(int32_t index, const unsigned char* bytes);

}  // namespace tolsa::tool
