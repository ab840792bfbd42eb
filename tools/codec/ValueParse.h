#pragma once
// Turning the text of `tolsa set` into the bytes a variable's letter asks for.
// Nothing is rounded, wrapped or cut: a value that does not parse or does not
// fit its type is refused with the reason.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "Record.h"

namespace tolsa::codec {

// Why a text was refused, for front ends that report it in their own words.
enum class ParseError { kNone, kSyntax, kRange, kLength };

struct ParsedValue {
    bool ok = false;
    ParseError kind = ParseError::kNone;             // set when !ok
    std::string error;                               // why not, when !ok
    std::array<unsigned char, kValueBytes> bytes{};  // the value, zero-filled behind it
};

// '$': text of at most 63 characters. 'L': a signed 32-bit integer; 'B' 'H'
// 'O': 0 to 255; 'M' 'W': 0 to 65535 (integers in decimal, or hex after
// 0x). 'D': a decimal floating-point number, inf or nan. Any other letter:
// exactly `size` bytes as hex, which is nothing for the size 0 the library
// gives such letters.
ParsedValue ParseValue(char type, int32_t size, std::string_view text);

}  // namespace tolsa::codec
