#pragma once
// The record of one variable in the shared area. Other programs read and
// write these bytes directly, so the layout is fixed to the byte.

#include <cstddef>
#include <cstdint>

#include "tolsa.h"

namespace tolsa {

using VariableRecord = TolsaVariableRecord;

constexpr int32_t kItemSize = TOLSA_ITEM_SIZE;
constexpr std::size_t kNameFieldSize = TOLSA_NAME_SIZE;
constexpr std::size_t kValueFieldSize = TOLSA_VALUE_SIZE;
// A prefix of 6 characters, the declared name and the terminator fill the field.
constexpr std::size_t kPrefixLength = 6;
constexpr std::size_t kMaxDeclaredNameLength = kNameFieldSize - kPrefixLength - 1;

static_assert(sizeof(VariableRecord) == 328);
static_assert(offsetof(VariableRecord, name) == 0);
static_assert(offsetof(VariableRecord, type) == 256);
static_assert(offsetof(VariableRecord, reserved) == 257);
static_assert(offsetof(VariableRecord, size) == 260);
static_assert(offsetof(VariableRecord, value) == 264);
static_assert(sizeof(int32_t) == 4 && sizeof(double) == 8);

constexpr char kStringType = '$';

// The value size a type letter implies; 0 for any letter not in the table.
constexpr int32_t TypeCodeSize(char letter) {
    switch (letter) {
        case '$': return 63;
        case 'B': case 'H': case 'O': return 1;
        case 'M': case 'W': return 2;
        case 'L': return 4;
        case 'D': return 8;
        default: return 0;
    }
}

}  // namespace tolsa
