#include "store/ValueCopy.h"

#include <algorithm>
#include <cstring>

namespace tolsa {

namespace {

// Copies a raw value of the record's size; sizes come from shared memory, so
// anything outside 0..64 copies nothing rather than overrun the field.
std::size_t RawSize(const VariableRecord& record) {
    const int32_t size = record.size;
    return size > 0 && size <= static_cast<int32_t>(kValueFieldSize) ? static_cast<std::size_t>(size) : 0;
}

// strncpy of 64 bytes with byte 63 cleared, for both directions.
void BoundedStringCopy(unsigned char* to, const unsigned char* from) {
    std::size_t i = 0;
    for (; i < kValueFieldSize && from[i] != '\0'; ++i) to[i] = from[i];
    for (; i < kValueFieldSize; ++i) to[i] = '\0';
    to[kValueFieldSize - 1] = '\0';
}

}  // namespace

void WriteCopyByIndex(VariableRecord& record, const void* source) {
    if (record.type == kStringType) {
        BoundedStringCopy(record.value, static_cast<const unsigned char*>(source));
    } else {
        std::memcpy(record.value, source, RawSize(record));
    }
}

void WriteCopyByName(VariableRecord& record, const void* source) {
    if (record.type != kStringType) {
        std::memcpy(record.value, source, RawSize(record));
        return;
    }
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

void ReadCopy(const VariableRecord& record, void* destination) {
    if (record.type == kStringType) {
        BoundedStringCopy(static_cast<unsigned char*>(destination), record.value);
    } else {
        std::memcpy(destination, record.value, RawSize(record));
    }
}

void NameCopy(const VariableRecord& record, char* destination) {
    std::size_t i = 0;
    for (; i < kNameFieldSize && record.name[i] != '\0'; ++i) destination[i] = record.name[i];
    destination[i < kNameFieldSize ? i : kNameFieldSize - 1] = '\0';
}

}  // namespace tolsa
