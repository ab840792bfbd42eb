// The header compiled as C++: the exact type of each of the 51 functions, the
// record layout, and C linkage (the link fails if any name were mangled).

#include "tolsa.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <type_traits>

namespace {

using NoArgs = int32_t (*)();
using ByName = int32_t (*)(const char*);
using ByIndex = int32_t (*)(int32_t);
using TypeByName = char (*)(const char*);
using TypeByIndex = char (*)(int32_t);
using WriteIndex = int32_t (*)(int32_t, const void*);
using WriteName = int32_t (*)(const char*, const void*);
using ReadIndex = int32_t (*)(int32_t, void*);
using ReadName = int32_t (*)(const char*, void*);
using NameRead = int32_t (*)(int32_t, char*);

#define TOLSA_FAMILY(X, F)                 \
    X(F##Open, int32_t (*)(void*))         \
    X(F##Close, NoArgs)                    \
    X(F##ReadApplicationCount, NoArgs)     \
    X(F##GetIdentVarName, ByName)          \
    X(F##GetTypeVar, TypeByIndex)          \
    X(F##GetTypeVarName, TypeByName)       \
    X(F##GetSizeVar, ByIndex)              \
    X(F##GetSizeVarName, ByName)           \
    X(F##WriteVar, WriteIndex)             \
    X(F##WriteVarName, WriteName)          \
    X(F##ReadVar, ReadIndex)               \
    X(F##ReadVarName, ReadName)            \
    X(F##ReadNameVar, NameRead)

#define TOLSA_ALL(X)                                               \
    X(TolsaGetPointer, TolsaVariableRecord* (*)())                 \
    X(TolsaGetNumberOfItems, NoArgs)                               \
    X(TolsaGetItemSize, NoArgs)                                    \
    X(TolsaOpen, NoArgs)                                           \
    X(TolsaClose, NoArgs)                                          \
    X(TolsaGetIdentVarName, ByName)                                \
    X(TolsaGetTypeVar, TypeByIndex)                                \
    X(TolsaGetTypeVarName, TypeByName)                             \
    X(TolsaGetSizeVar, ByIndex)                                    \
    X(TolsaGetSizeVarName, ByName)                                 \
    X(TolsaWriteVar, WriteIndex)                                   \
    X(TolsaWriteVarName, WriteName)                                \
    X(TolsaReadVar, ReadIndex)                                     \
    X(TolsaReadVarName, ReadName)                                  \
    X(TolsaReadNameVar, NameRead)                                  \
    X(TolsaGetPointerVarName, void* (*)(const char*))              \
    X(TolsaReadByte, unsigned char (*)(const char*))               \
    X(TolsaReadInt32, ByName)                                      \
    X(TolsaReadDouble, double (*)(const char*))                    \
    X(TolsaReadString, int32_t (*)(const char*, char*))            \
    X(TolsaReadStringDirect, char* (*)(const char*))               \
    X(TolsaWriteByte, int32_t (*)(const char*, unsigned char))     \
    X(TolsaWriteInt32, int32_t (*)(const char*, int32_t))          \
    X(TolsaWriteDouble, int32_t (*)(const char*, double))          \
    X(TolsaWriteString, int32_t (*)(const char*, const char*))     \
    TOLSA_FAMILY(X, IORSh)                                         \
    TOLSA_FAMILY(X, MemSh)

#define TOLSA_TYPE_IS(function, type) static_assert(std::is_same_v<decltype(&function), type>, #function);
TOLSA_ALL(TOLSA_TYPE_IS)

static_assert(sizeof(TolsaVariableRecord) == 328 && offsetof(TolsaVariableRecord, type) == 256 &&
              offsetof(TolsaVariableRecord, size) == 260 && offsetof(TolsaVariableRecord, value) == 264);

using AnyFunction = void (*)();
#define TOLSA_ADDRESS(function, type) reinterpret_cast<AnyFunction>(&function),
const AnyFunction kAll[] = {TOLSA_ALL(TOLSA_ADDRESS)};
static_assert(std::size(kAll) == 51);

}  // namespace

int main() {
    for (AnyFunction f : kAll) {
        if (f == nullptr) return 1;
    }
    return 0;
}
