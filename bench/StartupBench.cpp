// Start-up of 1,000, 100,000 and 1,000,000 declarations (RunStartup with the
// log, against a private directory and a private area), against the floor
// that the file, log and record rules impose: reading both files twice with
// fgets, writing and flushing one log line per declaration and filling each
// record's name, type and size. Both in-process, in alternating blocks. Also
// the name index's memory per variable at 1,000,000 variables, from the
// allocator's own statistics.
//
// `tolsa_bench_startup --write-definitions DIR COUNT` writes the definition
// files the other benchmarks load, and exits.

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Definitions.h"
#include "harness/Harness.h"
#include "index/HashName.h"
#include "index/NameIndex.h"
#include "store/Startup.h"

namespace {

using namespace tolsa;
namespace hb = tolsa::bench;

// One private directory per size, made once and removed at exit.
class Directories {
public:
    const std::string& For(std::size_t count) {
        auto found = made_.find(count);
        if (found != made_.end()) return found->second;
        const char* temporary = std::getenv("TMPDIR");
        std::string pattern = std::string(temporary != nullptr && *temporary != '\0' ? temporary : "/tmp") +
                              "/tolsa-bench-XXXXXX";
        const char* made = mkdtemp(pattern.data());
        std::string directory = made != nullptr ? std::string(made) + "/" : std::string();
        if (!directory.empty() && !bench::WriteDefinitionFiles(directory, count)) directory.clear();
        return made_.emplace(count, directory).first->second;
    }
    ~Directories() {
        for (const auto& [count, directory] : made_) {
            if (directory.empty()) continue;
            for (const char* file : {"iorsh.mem", "memsh.mem", "tolsa_log.txt"}) std::remove((directory + file).c_str());
            rmdir(directory.c_str());
        }
    }

private:
    std::map<std::size_t, std::string> made_;
};

Directories& TheDirectories() {
    static Directories directories;
    return directories;
}

// The private area: one shared anonymous mapping, kept across blocks as a
// live area is kept by the processes that map it, so that every start-up
// after the first opens an existing area, as the second process on a machine
// does. Touched once when it grows, before any block: both sides write into
// the same resident pages.
platform::MappedArea OpenPrivateArea(const char*, uint32_t size) {
    static void* view = nullptr;
    static uint64_t mapped = 0;
    if (size == 0) return {};
    if (size > mapped) {
        if (view != nullptr) munmap(view, mapped);
        view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (view == MAP_FAILED) {
            view = nullptr;
            mapped = 0;
            return {};
        }
        mapped = size;
        std::memset(view, 0, size);
    }
    return {view, size};
}

constexpr char kLikeForLike[] =
    "both sides in-process, in the same premapped and touched area: open and truncate the log, read "
    "both files twice, one flushed log line per declaration, name, type and size into every record";

// `iterations` start-ups; the index each one builds is released untimed.
double LibraryBlock(std::size_t count, uint64_t iterations) {
    const std::string& directory = TheDirectories().For(count);
    if (directory.empty()) return -1;
    StartupEnvironment environment;
    environment.directory = directory.c_str();
    environment.areaName = "tolsa-bench-startup";
    environment.openArea = OpenPrivateArea;
    if (OpenPrivateArea(nullptr, static_cast<uint32_t>(count * kItemSize)).base == nullptr) return -1;
    Log log;
    uint64_t elapsed = 0;
    for (uint64_t i = 0; i < iterations; ++i) {
        Store store;
        const uint64_t start = hb::ThreadCpuNanoseconds();
        const bool filled = RunStartup(environment, log, store) && store.count == static_cast<int32_t>(count);
        elapsed += hb::ThreadCpuNanoseconds() - start;
        ReleaseNameIndex(store.index);
        if (!filled) return -1;
    }
    log.Adopt(nullptr);
    return static_cast<double>(elapsed);
}

// The floor: what the file, log and record rules impose by themselves. Both
// files read to the end to count, then again to fill; per declaration one
// log line, flushed, and the record's name, type and size.
std::size_t FloorPass(std::FILE* file, std::FILE* log, VariableRecord* records, const char* prefix,
                      std::size_t counter) {
    char line[1024];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        if (line[0] == '\0' || line[0] == '[' || line[0] == ';' || line[0] == '/') continue;
        char* equals = std::strchr(line, '=');
        if (equals == nullptr) continue;
        if (records != nullptr) {
            const char letter = equals[1];
            *equals = '\0';
            VariableRecord& record = records[counter];
            record.type = letter;
            record.size = TypeCodeSize(letter);
            std::snprintf(record.name, sizeof record.name, "%.6s%.249s", prefix, line);
            std::fprintf(log, "%ld %s %c %ld\n", static_cast<long>(counter), record.name, letter,
                         static_cast<long>(record.size));
            std::fflush(log);
        }
        ++counter;
    }
    return counter;
}

double FloorBlock(std::size_t count, uint64_t iterations) {
    const std::string& directory = TheDirectories().For(count);
    if (directory.empty()) return -1;
    const platform::MappedArea area = OpenPrivateArea(nullptr, static_cast<uint32_t>(count * kItemSize));
    if (area.base == nullptr) return -1;
    auto* records = static_cast<VariableRecord*>(area.base);
    const std::string iorshPath = directory + "iorsh.mem", memshPath = directory + "memsh.mem";
    const std::string logPath = directory + "tolsa_log.txt";
    const uint64_t start = hb::ThreadCpuNanoseconds();
    for (uint64_t i = 0; i < iterations; ++i) {
        std::FILE* log = std::fopen(logPath.c_str(), "w");
        std::FILE* iorsh = std::fopen(iorshPath.c_str(), "r");
        std::FILE* memsh = std::fopen(memshPath.c_str(), "r");
        bool right = log != nullptr && iorsh != nullptr && memsh != nullptr;
        if (right) {
            const std::size_t counted = FloorPass(memsh, nullptr, nullptr, "", FloorPass(iorsh, nullptr, nullptr, "", 0));
            std::rewind(iorsh);
            std::rewind(memsh);
            const std::size_t filled =
                FloorPass(memsh, log, records, "MEMSH_", FloorPass(iorsh, log, records, "IORSH_", 0));
            right = counted == count && filled == count;
        }
        for (std::FILE* file : {log, iorsh, memsh})
            if (file != nullptr) std::fclose(file);
        if (!right) return -1;
    }
    return static_cast<double>(hb::ThreadCpuNanoseconds() - start);
}

// Bytes the allocator holds for an index over `count` records: heap chunks
// in use (headers included) plus mmapped blocks (the large bucket arrays).
double IndexBytesPerVariable(std::size_t count) {
    const std::vector<bench::Declared> declared = bench::MakeDeclarations(count);
    std::vector<VariableRecord> records(count);
    for (std::size_t i = 0; i < count; ++i)
        std::snprintf(records[i].name, sizeof records[i].name, "%s", bench::FullNameOf(declared, i).c_str());
    const struct mallinfo2 before = mallinfo2();
    NameIndex* index = CreateNameIndex(16, HashStoredName, NamesEqual);
    for (VariableRecord& record : records) InsertIntoNameIndex(index, &record, &record);
    const struct mallinfo2 after = mallinfo2();
    const auto used = [](const struct mallinfo2& info) { return static_cast<double>(info.uordblks + info.hblkhd); };
    const bool whole = index != nullptr && index->entryCount == count;
    ReleaseNameIndex(index);
    return whole ? (used(after) - used(before)) / static_cast<double>(count) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--write-definitions") == 0) {
        const std::string directory = argv[2];
        const long count = std::strtol(argv[3], nullptr, 10);
        if (count <= 0 || !bench::WriteDefinitionFiles(directory, static_cast<std::size_t>(count))) {
            std::fprintf(stderr, "cannot write %ld declarations into %s\n", count, directory.c_str());
            return 1;
        }
        return 0;
    }
    hb::Harness harness("tolsa_bench_startup", argc, argv);
    if (harness.Done()) return harness.ExitCode();
    const auto library = [](std::size_t count) {
        return hb::Side{"Startup/" + std::to_string(count), [count](uint64_t n) { return LibraryBlock(count, n); }};
    };
    const auto floor = [](std::size_t count) {
        return hb::Side{"FloorStartup/" + std::to_string(count), [count](uint64_t n) { return FloorBlock(count, n); }};
    };
    // --quick only shows that every side runs: small sizes, seconds in all.
    const std::vector<std::size_t> sizes =
        harness.Quick() ? std::vector<std::size_t>{1000} : std::vector<std::size_t>{1000, 100000, 1000000};
    const std::size_t large = harness.Quick() ? 10000 : 1000000;
    for (const std::size_t count : sizes) {
        harness.Compare({.target = "start-up of " + std::to_string(count) + " <= 1.5x floor",
                         .a = library(count),
                         .b = floor(count),
                         .goal = hb::AtMost(1.5),
                         // Seconds each at 1,000,000: one per block, no calibration.
                         .iterations = count >= 1000000 ? 1u : 0u,
                         .rounds = count >= 1000000 ? 9 : 0,
                         .note = kLikeForLike});
    }
    // Per declaration: a large start-up against one of 1,000.
    const auto perDeclaration = [](std::size_t count) {
        return hb::Side{"Startup/" + std::to_string(count) + " per declaration",
                        [count](uint64_t n) { return LibraryBlock(count, n); }, static_cast<double>(count)};
    };
    harness.Compare({.target = "start-up linear: per declaration at " + std::to_string(large) + " <= 1.5x at 1000",
                     .a = perDeclaration(large),
                     .b = perDeclaration(1000),
                     .goal = hb::AtMost(1.5),
                     .unit = "ns/decl",
                     .rounds = 9});
    const double bytes = IndexBytesPerVariable(large);
    harness.Value({.target = "name index <= 80 bytes per variable at " + std::to_string(large),
                   .name = "IndexMemory/" + std::to_string(large),
                   .value = bytes,
                   .unit = "bytes",
                   .goal = hb::AtMost(80)});
    const int status = harness.Finish();
    return bytes < 0 ? 1 : status;
}
