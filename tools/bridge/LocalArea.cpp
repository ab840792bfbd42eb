#include "LocalArea.h"

#include <cstddef>
#include <cstring>

#include "tolsa.h"

namespace tolsa::bridge {

LocalArea::LocalArea()
    : base_(reinterpret_cast<unsigned char*>(TolsaGetPointer())),
      count_(base_ == nullptr ? 0 : TolsaGetNumberOfItems()),
      itemSize_(TolsaGetItemSize()) {
    for (int32_t i = 0; i < count_; ++i) names_.insert(At(i).name);
}

int32_t LocalArea::ValueOffset() { return static_cast<int32_t>(offsetof(TolsaVariableRecord, value)); }

codec::Record LocalArea::At(int32_t index) const {
    TolsaVariableRecord raw;
    std::memcpy(&raw, base_ + static_cast<std::ptrdiff_t>(index) * itemSize_, sizeof raw);
    codec::Record record;
    record.index = index;
    const char* name = raw.name;
    const void* end = std::memchr(name, '\0', sizeof raw.name);
    record.name.assign(name, end ? static_cast<const char*>(end) : name + sizeof raw.name);
    record.type = raw.type;
    record.size = raw.size;
    std::memcpy(record.value.data(), raw.value, sizeof raw.value);
    return record;
}

int32_t LocalArea::Find(const std::string& name) const {
    // Asked of the library only for names it has, so that a stray topic
    // leaves no miss line in the log; the library's answer, so that a name
    // declared twice finds the record every other client finds.
    if (names_.count(name) == 0) return -1;
    return TolsaGetIdentVarName(name.c_str());
}

bool LocalArea::Write(int32_t index, const unsigned char* bytes) const { return TolsaWriteVar(index, bytes) == 0; }

}  // namespace tolsa::bridge
