// The exported Tolsa family: full names and global indices.

#include <cstring>

#include "store/Access.h"
#include "store/ValueCopy.h"

using tolsa::FullName;
namespace ops = tolsa::access;

namespace {

tolsa::VariableRecord* Named(const char* name) { return tolsa::FindVariableByName(tolsa::CurrentStore(), FullName(name)); }

// The typed writes hand the ordinary write a zeroed 64-byte buffer, so that a
// variable wider than the value never reads past it.
template <typename T>
int32_t WriteWidened(const char* name, T value) {
    unsigned char widened[tolsa::kValueFieldSize] = {};
    std::memcpy(widened, &value, sizeof value);
    return ops::Write(FullName(name), widened);
}

template <typename T>
T ReadLeading(const char* name) {
    const tolsa::VariableRecord* record = Named(name);
    T value{};
    if (record != nullptr) std::memcpy(&value, record->value, sizeof value);
    return value;
}

}  // namespace

extern "C" {

TOLSA_API TolsaVariableRecord* TolsaGetPointer(void) {
    const tolsa::Store* store = tolsa::CurrentStore();
    return store != nullptr ? store->base : nullptr;
}

TOLSA_API int32_t TolsaGetNumberOfItems(void) {
    const tolsa::Store* store = tolsa::CurrentStore();
    return store != nullptr ? store->count : 0;
}

TOLSA_API int32_t TolsaGetItemSize(void) { return tolsa::kItemSize; }

TOLSA_API int32_t TolsaOpen(void) { return 0; }
TOLSA_API int32_t TolsaClose(void) { return 0; }

TOLSA_API int32_t TolsaGetIdentVarName(const char* name) { return ops::GetIdent(FullName(name)); }
TOLSA_API char TolsaGetTypeVar(int32_t index) { return ops::GetType(index); }
TOLSA_API char TolsaGetTypeVarName(const char* name) { return ops::GetType(FullName(name)); }
TOLSA_API int32_t TolsaGetSizeVar(int32_t index) { return ops::GetSize(index); }
TOLSA_API int32_t TolsaGetSizeVarName(const char* name) { return ops::GetSize(FullName(name)); }
TOLSA_API int32_t TolsaWriteVar(int32_t index, const void* source) { return ops::Write(index, source); }
TOLSA_API int32_t TolsaWriteVarName(const char* name, const void* source) { return ops::Write(FullName(name), source); }
TOLSA_API int32_t TolsaReadVar(int32_t index, void* destination) { return ops::Read(index, destination); }
TOLSA_API int32_t TolsaReadVarName(const char* name, void* destination) { return ops::Read(FullName(name), destination); }
TOLSA_API int32_t TolsaReadNameVar(int32_t index, char* destination) { return ops::ReadName(index, destination); }

TOLSA_API void* TolsaGetPointerVarName(const char* name) {
    tolsa::VariableRecord* record = Named(name);
    return record != nullptr ? record->value : nullptr;
}

TOLSA_API unsigned char TolsaReadByte(const char* name) { return ReadLeading<unsigned char>(name); }
TOLSA_API int32_t TolsaReadInt32(const char* name) { return ReadLeading<int32_t>(name); }
TOLSA_API double TolsaReadDouble(const char* name) { return ReadLeading<double>(name); }
TOLSA_API int32_t TolsaReadString(const char* name, char* destination) { return ops::Read(FullName(name), destination); }

TOLSA_API char* TolsaReadStringDirect(const char* name) {
    tolsa::VariableRecord* record = Named(name);
    return record != nullptr ? reinterpret_cast<char*>(record->value) : nullptr;
}

TOLSA_API int32_t TolsaWriteByte(const char* name, unsigned char value) { return WriteWidened(name, value); }
TOLSA_API int32_t TolsaWriteInt32(const char* name, int32_t value) { return WriteWidened(name, value); }
TOLSA_API int32_t TolsaWriteDouble(const char* name, double value) { return WriteWidened(name, value); }
TOLSA_API int32_t TolsaWriteString(const char* name, const char* value) { return ops::Write(FullName(name), value); }

}  // extern "C"
