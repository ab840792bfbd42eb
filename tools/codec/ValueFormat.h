#pragma once
// Turning records into text: the value decoded by its type letter, hex, the
// escaping that keeps one record on one line, JSON, and the aligned rows that
// list and watch print.

#include <string>
#include <string_view>
#include <vector>

#include "Record.h"

namespace tolsa::codec {

// '$' as text (to its terminator, at most 64 bytes); 'L' signed 32-bit; 'D'
// double (shortest text that reads back the same); 'B' 'H' 'O' unsigned
// 8-bit; 'M' 'W' unsigned 16-bit; any other letter hex of its size.
std::string DecodeValue(const Record& record);
// The value's size bytes as lower-case hex.
std::string RawHex(const Record& record);
std::string Hex(const unsigned char* bytes, std::size_t count);

// Control characters and DEL as \xNN, so a name, letter or text stays on
// its line; everything else as it is.
std::string Printable(std::string_view text);

// A JSON string literal. Bytes that are not valid UTF-8 come out as \u00NN.
std::string JsonString(std::string_view text);
// One record as a JSON object: index, name, type, size, value, raw.
std::string JsonObject(const Record& record);
// The "value" of that object alone: a number for the integer letters and
// finite doubles, text otherwise.
std::string JsonValue(const Record& record);

// Rows of list and watch: index, name, type letter, size and value in
// columns as wide as the widest of `records`. A non-empty `marks` puts a
// "* " (changed) or "  " before each row.
std::vector<std::string> FormatRows(const std::vector<Record>& records, const std::vector<bool>& marks = {});

// One row per record, tab-separated, with the raw hex last: what `dump` prints.
std::string DumpLine(const Record& record);

}  // namespace tolsa::codec
