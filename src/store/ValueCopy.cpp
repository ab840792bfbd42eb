#include "store/ValueCopy.h"

#include <algorithm>


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

}  // namespace copy_detail

void NameCopy(const VariableRecord& record, char* destination) {
    std::size_t i = 0;
    for (; i < kNameFieldSize && record.name[i] != '\0'; ++i) destination[i] = record.name[i];
    destination[i < kNameFieldSize ? i : kNameFieldSize - 1] = '\0';
}

}  // namespace tolsa
