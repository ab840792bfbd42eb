#include "AttachedArea.h"

#include <cstring>

#include "index/HashName.h"
#include "index/NameIndex.h"
#include "platform/Platform.h"
#include "store/ValueCopy.h"
#include "store/VariableRecord.h"

namespace tolsa::attach {

struct AttachedArea::State {
    platform::AttachedView view;
    NameIndex* index = nullptr;
    ~State() {
        if (index != nullptr) ReleaseNameIndex(index);
        platform::DetachArea(view);
    }
    VariableRecord* Records() const { return static_cast<VariableRecord*>(view.area.base); }
};

namespace {

// Records the view holds, less the trailing ones no start-up named.
int32_t CountNamed(const VariableRecord* records, uint64_t bytes) {
    uint64_t count = bytes / static_cast<uint64_t>(kItemSize);
    while (count > 0 && records[count - 1].name[0] == '\0') --count;
    return static_cast<int32_t>(count);  // an area is at most 4 GiB: 13 million records
}

}  // namespace

std::string NoAreaMessage() {
    return std::string("no process has the variables mapped (no shared area \"") + kAreaName + "\")";
}

std::string LostAreaMessage() {
    return std::string("no other process has the variables mapped any more (shared area \"") + kAreaName + "\")";
}

AttachedArea::AttachedArea(std::unique_ptr<State> state) : state_(std::move(state)) {}
AttachedArea::~AttachedArea() = default;

std::unique_ptr<AttachedArea> AttachedArea::Open(std::string* why) {
    auto state = std::make_unique<State>();
    state->view = platform::AttachExistingArea(kAreaName);
    if (state->view.area.base == nullptr) {
        if (why != nullptr)
            *why = state->view.problem == nullptr
                       ? NoAreaMessage()
                       : std::string("cannot attach to the shared area \"") + kAreaName + "\": " + state->view.problem;
        return nullptr;
    }
    const int32_t count = CountNamed(state->Records(), state->view.area.size);
    // As start-up builds it: the same size, hash, equality and order of insertion.
    state->index = CreateNameIndex(16, HashStoredName, NamesEqual);
    if (state->index == nullptr) {
        if (why != nullptr) *why = "out of memory for the name index";
        return nullptr;
    }
    for (int32_t i = 0; i < count; ++i) {
        VariableRecord* record = state->Records() + i;
        InsertIntoNameIndex(state->index, record, record);
    }
    std::unique_ptr<AttachedArea> area(new AttachedArea(std::move(state)));
    area->count_ = count;
    return area;
}

std::size_t AttachedArea::Bytes() const { return static_cast<std::size_t>(state_->view.area.size); }

codec::Record AttachedArea::Read(int32_t index) const {
    if (index < 0 || index >= count_) return {};
    VariableRecord raw;
    std::memcpy(&raw, state_->Records() + index, sizeof raw);
    codec::Record record;
    record.index = index;
    const void* end = std::memchr(raw.name, '\0', sizeof raw.name);
    const char* name = raw.name;
    record.name.assign(name, end != nullptr ? static_cast<const char*>(end) : name + sizeof raw.name);
    record.type = raw.type;
    record.size = raw.size;
    std::memcpy(record.value.data(), raw.value, sizeof raw.value);
    return record;
}

std::vector<codec::Record> AttachedArea::ReadAll() const {
    std::vector<codec::Record> records;
    records.reserve(static_cast<std::size_t>(count_));
    for (int32_t i = 0; i < count_; ++i) records.push_back(Read(i));
    return records;
}

int32_t AttachedArea::Find(std::string_view fullName) const {
    if (fullName.find('\0') != std::string_view::npos) return -1;
    const std::string key(fullName);
    const void* found = SearchNameIndex(state_->index, key.c_str());
    if (found == nullptr) return -1;
    return static_cast<int32_t>(static_cast<const VariableRecord*>(found) - state_->Records());
}

void AttachedArea::Write(int32_t index, const unsigned char* bytes) {
    if (index < 0 || index >= count_) return;
    WriteCopyByIndex(state_->Records()[index], bytes);
}

bool AttachedArea::Shared() const { return platform::OthersHoldArea(state_->view, kAreaName); }

}  // namespace tolsa::attach
