// The exported IORSh and MemSh families.

#include "families/Family.h"

namespace {
constexpr char kIorshPrefix[] = "IORSH_";
constexpr char kMemshPrefix[] = "MEMSH_";
using Iorsh = tolsa::Family<kIorshPrefix>;
using Memsh = tolsa::Family<kMemshPrefix>;
}  // namespace

// Stamps out the 13 exports of one family over its Family<> instance.
#define TOLSA_FAMILY_EXPORTS(Name, Impl)                                                                     \
    TOLSA_API int32_t Name##Open(void* unused) { return Impl::Open(unused); }                               \
    TOLSA_API int32_t Name##Close(void) { return Impl::Close(); }                                            \
    TOLSA_API int32_t Name##ReadApplicationCount(void) { return Impl::ReadApplicationCount(); }              \
    TOLSA_API int32_t Name##GetIdentVarName(const char* name) { return Impl::GetIdentVarName(name); }        \
    TOLSA_API char Name##GetTypeVar(int32_t index) { return Impl::GetTypeVar(index); }                       \
    TOLSA_API char Name##GetTypeVarName(const char* name) { return Impl::GetTypeVarName(name); }             \
    TOLSA_API int32_t Name##GetSizeVar(int32_t index) { return Impl::GetSizeVar(index); }                    \
    TOLSA_API int32_t Name##GetSizeVarName(const char* name) { return Impl::GetSizeVarName(name); }          \
    TOLSA_API int32_t Name##WriteVar(int32_t index, const void* source) { return Impl::WriteVar(index, source); } \
    TOLSA_API int32_t Name##WriteVarName(const char* name, const void* source) {                             \
        return Impl::WriteVarName(name, source);                                                             \
    }                                                                                                        \
    TOLSA_API int32_t Name##ReadVar(int32_t index, void* destination) { return Impl::ReadVar(index, destination); } \
    TOLSA_API int32_t Name##ReadVarName(const char* name, void* destination) {                               \
        return Impl::ReadVarName(name, destination);                                                         \
    }                                                                                                        \
    TOLSA_API int32_t Name##ReadNameVar(int32_t index, char* destination) { return Impl::ReadNameVar(index, destination); }

extern "C" {
TOLSA_FAMILY_EXPORTS(IORSh, Iorsh)
TOLSA_FAMILY_EXPORTS(MemSh, Memsh)
}
