#include "store/Access.h"

#include "store/ValueCopy.h"

namespace tolsa::access {

namespace {
constexpr char kNotFoundType = '#';
constexpr int32_t kIndexFailure = -1;
constexpr int32_t kReadNameFailure = -3;
constexpr int32_t kWriteNameFailure = -5;
}  // namespace

int32_t GetIdent(NameRef name) {
    const Store* store = CurrentStore();
    const VariableRecord* record = FindVariableByName(store, name);
    return record != nullptr ? static_cast<int32_t>(record - store->base) : -1;
}

char GetType(NameRef name) {
    const VariableRecord* record = FindVariableByName(CurrentStore(), name);
    return record != nullptr ? record->type : kNotFoundType;
}

char GetType(int32_t index) {
    const VariableRecord* record = FindVariableByIndex(CurrentStore(), index);
    return record != nullptr ? record->type : kNotFoundType;
}

int32_t GetSize(NameRef name) {
    const VariableRecord* record = FindVariableByName(CurrentStore(), name);
    return record != nullptr ? record->size : -1;
}

int32_t GetSize(int32_t index) {
    const VariableRecord* record = FindVariableByIndex(CurrentStore(), index);
    return record != nullptr ? record->size : 0;
}

int32_t Write(NameRef name, const void* source) {
    VariableRecord* record = FindVariableByName(CurrentStore(), name);
    if (record == nullptr) return kWriteNameFailure;
    WriteCopyByName(*record, source);
    return 0;
}

[[gnu::noinline, gnu::cold]] int32_t WriteSlowly(int32_t index, const void* source) {
    VariableRecord* record = FindVariableByIndex(CurrentStore(), index);
    if (record == nullptr) return kIndexFailure;
    WriteCopyByIndex(*record, source);
    return 0;
}

[[gnu::noinline, gnu::cold]] int32_t ReadSlowly(int32_t index, void* destination) {
    const VariableRecord* record = FindVariableByIndex(CurrentStore(), index);
    if (record == nullptr) return kIndexFailure;
    ReadCopy(*record, destination);
    return 0;
}

int32_t Read(NameRef name, void* destination) {
    const VariableRecord* record = FindVariableByName(CurrentStore(), name);
    if (record == nullptr) return kReadNameFailure;
    ReadCopy(*record, destination);
    return 0;
}

int32_t ReadName(int32_t index, char* destination) {
    const VariableRecord* record = FindVariableByIndex(CurrentStore(), index);
    if (record != nullptr) NameCopy(*record, destination);
    return 0;
}

}  // namespace tolsa::access
