#pragma once
// A prefixed family: the generic operations for the variables of one
// definition file, addressed by declared name. The two families differ only
// in their prefix.

#include <cstdint>
#include <cstring>

#include "store/Access.h"
#include "store/VariableRecord.h"

namespace tolsa {

template <const char* Prefix>
struct Family {
    static_assert(Prefix[kPrefixLength] == '\0', "a family prefix has 6 characters");

    // Nothing to open, close or count; callers expect 1.
    static int32_t Open(void*) { return 1; }
    static int32_t Close() { return 1; }
    static int32_t ReadApplicationCount() { return 1; }

    static int32_t GetIdentVarName(const char* name) { return access::GetIdent(Full(name)); }
    static char GetTypeVarName(const char* name) { return access::GetType(Full(name)); }
    static int32_t GetSizeVarName(const char* name) { return access::GetSize(Full(name)); }
    static int32_t WriteVarName(const char* name, const void* source) { return access::Write(Full(name), source); }
    static int32_t ReadVarName(const char* name, void* destination) { return access::Read(Full(name), destination); }

    // Indices are global, so these are the generic operations themselves.
    static char GetTypeVar(int32_t index) { return access::GetType(index); }
    static int32_t GetSizeVar(int32_t index) { return access::GetSize(index); }
    static int32_t WriteVar(int32_t index, const void* source) { return access::Write(index, source); }
    static int32_t ReadVar(int32_t index, void* destination) { return access::Read(index, destination); }

    // The full name less its first 6 characters, whatever they are; the empty
    // string for an index out of range.
    static int32_t ReadNameVar(int32_t index, char* destination) {
        char fullName[kNameFieldSize] = {};
        const int32_t result = access::ReadName(index, fullName);
        const char* declared = fullName + kPrefixLength;
        std::memcpy(destination, declared, std::strlen(declared) + 1);
        return result;
    }

private:
    static NameRef Full(const char* name) { return {Prefix, name}; }
};

}  // namespace tolsa
