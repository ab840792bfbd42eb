#include "Area.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "tolsa.h"

namespace tolsa::tool {

namespace {

std::string NoArea() { return " (no area is published: see 'tolsa info')"; }

}  // namespace

bool AreaPublished() { return TolsaGetPointer() != nullptr; }

std::string AreaAddress() {
    char text[32];
    std::snprintf(text, sizeof text, "%016llX",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(TolsaGetPointer())));
    return text;
}

Record ReadRecord(int32_t index) {
    const auto* base = reinterpret_cast<const unsigned char*>(TolsaGetPointer());
    TolsaVariableRecord raw;
    std::memcpy(&raw, base + static_cast<std::ptrdiff_t>(index) * TolsaGetItemSize(), sizeof raw);
    Record record;
    record.index = index;
    const char* name = raw.name;
    const void* end = std::memchr(name, '\0', sizeof raw.name);
    record.name.assign(name, end ? static_cast<const char*>(end) : name + sizeof raw.name);
    record.type = raw.type;
    record.size = raw.size;
    std::memcpy(record.value.data(), raw.value, sizeof raw.value);
    return record;
}

std::vector<Record> ReadRecords() {
    std::vector<Record> records;
    if (TolsaGetPointer() == nullptr) return records;
    const int32_t count = TolsaGetNumberOfItems();
    for (int32_t i = 0; i < count; ++i) records.push_back(ReadRecord(i));
    return records;
}

Target Resolve(std::string_view reference) {
    Target target;
    const int32_t count = TolsaGetPointer() == nullptr ? 0 : TolsaGetNumberOfItems();
    if (!reference.empty() && reference[0] == '#') {
        const std::string_view digits = reference.substr(1);
        int32_t index = -1;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || index < 0 ||
            index >= count) {
            target.why = "no variable at index " + std::string(digits);
            target.why += count == 0 ? NoArea() : " (there are " + std::to_string(count) + ": #0 to #" +
                                                      std::to_string(count - 1) + ")";
            return target;
        }
        target.found = true;
        target.index = index;
        return target;
    }
    const std::string name(reference);
    // The library's own lookup, so that a name declared twice finds the
    // record every other client finds.
    const int32_t index = count == 0 ? -1 : TolsaGetIdentVarName(name.c_str());
    if (index < 0) {
        target.why = "no variable named " + name + (count == 0 ? NoArea() : "");
        return target;
    }
    target.found = true;
    target.index = index;
    return target;
}

bool WriteValue(int32_t index, const unsigned char* bytes) { return TolsaWriteVar(index, bytes) == 0; }

}  // namespace tolsa::tool
