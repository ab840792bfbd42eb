#pragma once
// The bridge's contact with the library it loads: the records of the area,
// walked through the exported base pointer, and writes through the library.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

#include "Record.h"

namespace tolsa::bridge {

class LocalArea {
public:
    // Reads the names of every record once; they are fixed after start-up.
    LocalArea();
    bool Published() const { return base_ != nullptr; }
    int32_t Count() const { return count_; }
    const unsigned char* Base() const { return base_; }
    int32_t ItemSize() const { return itemSize_; }
    static int32_t ValueOffset();

    codec::Record At(int32_t index) const;
    // The index the library finds for `name`, or -1.
    int32_t Find(const std::string& name) const;
    // Writes 64 bytes (strings NUL-terminated) through the library.
    bool Write(int32_t index, const unsigned char* bytes) const;

private:
    unsigned char* base_ = nullptr;
    int32_t count_ = 0;
    int32_t itemSize_ = 0;
    std::unordered_set<std::string> names_;
};

}  // namespace tolsa::bridge
