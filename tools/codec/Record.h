#pragma once
// One variable as the tool sees it: a copy of its record, taken in one go so
// that a value another process is writing cannot change while it is shown.

#include <array>
#include <cstdint>
#include <string>

namespace tolsa::codec {

inline constexpr int kValueBytes = 64;
inline constexpr int kStringChars = 63;  // the 64th byte of a string is its terminator

struct Record {
    int32_t index = 0;
    std::string name;  // up to the terminator, at most 256 bytes
    char type = 0;
    int32_t size = 0;
    std::array<unsigned char, kValueBytes> value{};
};

// The first `size` bytes of the value field, kept within the field.
inline int ValueBytes(const Record& record) {
    return record.size < 0 ? 0 : record.size > kValueBytes ? kValueBytes : record.size;
}

}  // namespace tolsa::codec
