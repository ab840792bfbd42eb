#include "store/Startup.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>

#include "index/HashName.h"
#include "index/NameIndex.h"
#include "store/DefinitionReader.h"

namespace tolsa {

namespace {

constexpr uint64_t kMaxAreaBytes = 0xFFFFFFFFu;

// "%s%s" into a cleared 1024-byte buffer, as every path is formed.
struct Path {
    char text[1024] = {};
    Path(const char* directory, const char* file) { std::snprintf(text, sizeof text, "%s%s", directory, file); }
};

struct FileCloser {
    std::FILE* file;
    ~FileCloser() {
        if (file != nullptr) std::fclose(file);
    }
};

struct IndexReleaser {
    void operator()(NameIndex* index) const { ReleaseNameIndex(index); }
};

// Opens a definition file, or logs that it could not.
std::FILE* OpenDefinitions(const char* directory, const char* file, std::string_view kind, Log& log) {
    const Path path(directory, file);
    std::FILE* opened = platform::OpenDefinitionFile(path.text);
    if (opened == nullptr) log.Line({"failed to open ", kind, " file at ", path.text, "\n"});
    return opened;
}

uint64_t CountDeclarations(DefinitionReader& reader) {
    Declaration declaration;
    uint64_t count = 0;
    while (reader.Next(declaration)) ++count;
    return count;
}

// Narrowed as the log prints counts: the low 32 bits, signed.
int32_t Low32(uint64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

class Filler {
public:
    Filler(const platform::MappedArea& area, NameIndex* index, Log& log)
        : base_(static_cast<VariableRecord*>(area.base)), capacity_(area.size / kItemSize), index_(index), log_(log) {}

    void FillFrom(DefinitionReader& reader, std::string_view prefix) {
        Declaration declaration;
        while (reader.Next(declaration)) {
            if (filled_ >= capacity_) {
                ++leftOut_;
                continue;
            }
            Fill(base_[filled_], prefix, declaration);
            ++filled_;
        }
    }

    int32_t Filled() const { return static_cast<int32_t>(filled_); }
    uint64_t LeftOut() const { return leftOut_; }

private:
    void Fill(VariableRecord& record, std::string_view prefix, const Declaration& declaration) {
        record.type = declaration.letter;
        record.size = TypeCodeSize(declaration.letter);
        const std::size_t nameLength = declaration.KeptLength();
        std::memcpy(record.name, prefix.data(), prefix.size());
        std::memcpy(record.name + prefix.size(), declaration.name, nameLength + 1);
        InsertIntoNameIndex(index_, &record, &record);

        const Decimal number(static_cast<int32_t>(filled_));
        const char letter = declaration.letter;
        log_.Line({number, " ", std::string_view(record.name, prefix.size() + nameLength), " ",
                   std::string_view(&letter, 1), " ", Decimal(record.size), "\n"});
        if (declaration.IsCut()) log_.Line({"name of variable ", number, " cut to 249 characters\n"});
    }

    VariableRecord* base_;
    uint64_t capacity_;
    NameIndex* index_;
    Log& log_;
    uint64_t filled_ = 0;
    uint64_t leftOut_ = 0;
};

}  // namespace

bool RunStartup(const StartupEnvironment& environment, Log& log, Store& store) {
    // Released again unless the attempt ends in something to publish.
    std::unique_ptr<NameIndex, IndexReleaser> index(
        CreateNameIndex(16, HashStoredName, NamesEqual, *environment.allocator));

    log.Reopen(Path(environment.directory, "tolsa_log.txt").text);
    log.Line({"tolsa v", kVersion, "\n"});
    if (index == nullptr) return false;

    const FileCloser iorsh{OpenDefinitions(environment.directory, "iorsh.mem", "iorsh", log)};
    if (iorsh.file == nullptr) return false;
    const FileCloser memsh{OpenDefinitions(environment.directory, "memsh.mem", "memsh", log)};
    if (memsh.file == nullptr) return false;

    DefinitionReader iorshReader(iorsh.file, platform::DefinitionFileEndByte());
    DefinitionReader memshReader(memsh.file, platform::DefinitionFileEndByte());
    uint64_t count = CountDeclarations(iorshReader);
    log.Line({Decimal(Low32(count)), " variables after iorsh\n"});
    count += CountDeclarations(memshReader);
    log.Line({Decimal(Low32(count)), " variables total\n"});
    const uint64_t bytes = count * kItemSize;
    log.Line({"will allocate ", Decimal(Low32(bytes)), " bytes (328 per item)\n"});

    // An area whose size does not fit in 32 bits is not created at all rather
    // than created too small.
    platform::MappedArea area;
    if (bytes != 0 && bytes <= kMaxAreaBytes) area = environment.openArea(environment.areaName, static_cast<uint32_t>(bytes));
    log.Line({"shared memory is ", Address(area.base), "\n"});
    if (area.base == nullptr) {
        if (area.failure != nullptr) log.Line({area.failure, "\n"});
        return false;
    }

    iorshReader.Rewind();
    memshReader.Rewind();
    Filler filler(area, index.get(), log);
    filler.FillFrom(iorshReader, "IORSH_");
    filler.FillFrom(memshReader, "MEMSH_");
    if (filler.LeftOut() != 0)
        log.Line({Decimal(Low32(filler.LeftOut())), " declarations do not fit the shared area\n"});

    store.base = static_cast<VariableRecord*>(area.base);
    store.index = index.release();
    store.count = filler.Filled();
    store.areaSize = area.size;
    return true;
}

namespace {
std::mutex& StartupMutex() {
    static std::mutex mutex;
    return mutex;
}
}  // namespace

int32_t LoadVariableDefinitions() {
    std::lock_guard lock(StartupMutex());
    if (publishedStore.load(std::memory_order_acquire) != nullptr) return 0;
    Store store;
    if (RunStartup(StartupEnvironment{}, ProcessLog(), store)) PublishStore(store);
    return 0;
}

namespace {
std::atomic<bool> retryOnEveryCall{false};
}

void RetryStartupOnEveryCall() { retryOnEveryCall.store(true, std::memory_order_relaxed); }

const Store* StoreForUnpublishedCall() {
    if (!retryOnEveryCall.load(std::memory_order_relaxed)) return nullptr;
    LoadVariableDefinitions();
    return publishedStore.load(std::memory_order_acquire);
}

// Start-up takes its own lock before the log's, and so do these.
void HoldStartupLocks() {
    StartupMutex().lock();
    ProcessLog().Lock();
}

void ReleaseStartupLocks() {
    ProcessLog().Unlock();
    StartupMutex().unlock();
}

}  // namespace tolsa
