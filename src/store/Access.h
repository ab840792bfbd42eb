#pragma once
// The generic operations behind the exported functions, with the results the
// exports return. The by-name ones take a NameRef so that the prefixed
// families reach them without building a full name first.

#include <cstdint>

#include "store/Lookup.h"

namespace tolsa::access {

int32_t GetIdent(NameRef name);
char GetType(NameRef name);
char GetType(int32_t index);
int32_t GetSize(NameRef name);
int32_t GetSize(int32_t index);
int32_t Write(NameRef name, const void* source);
int32_t Write(int32_t index, const void* source);
int32_t Read(NameRef name, void* destination);
int32_t Read(int32_t index, void* destination);
int32_t ReadName(int32_t index, char* destination);

}  // namespace tolsa::access
