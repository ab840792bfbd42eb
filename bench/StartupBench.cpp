// Start-up of 1,000, 100,000 and 1,000,000 declarations (RunStartup with the
// log, against a private directory and a private area), against the floor
// that the file and log rules impose: reading both files twice with fgets and
// writing and flushing one log line per declaration. Also the name index's
// memory per variable at 1,000,000 variables, from the allocator's own
// statistics.
//
// `tolsa_bench_startup --write-definitions DIR COUNT` writes the definition
// files the other benchmarks load, and exits.

#include <benchmark/benchmark.h>

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
#include "index/HashName.h"
#include "index/NameIndex.h"
#include "store/Startup.h"

namespace {

using namespace tolsa;

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

// The private area: one shared anonymous mapping, kept across iterations as
// a live area is kept by the processes that map it, so that every start-up
// after the first opens an existing area, as the second process on a machine
// does.
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
    }
    return {view, size};
}

void Startup(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    const std::string& directory = TheDirectories().For(count);
    if (directory.empty()) return state.SkipWithError("cannot write the definition files");
    StartupEnvironment environment;
    environment.directory = directory.c_str();
    environment.areaName = "tolsa-bench-startup";
    environment.openArea = OpenPrivateArea;
    // Touched once before timing: a live area's pages are there already.
    const platform::MappedArea area = OpenPrivateArea(nullptr, static_cast<uint32_t>(count * kItemSize));
    if (area.base == nullptr) return state.SkipWithError("cannot map the private area");
    std::memset(area.base, 0, area.size);
    Log log;
    for (auto _ : state) {
        Store store;
        if (!RunStartup(environment, log, store) || store.count != static_cast<int32_t>(count)) {
            state.SkipWithError("start-up did not fill every record");
            break;
        }
        state.PauseTiming();
        ReleaseNameIndex(store.index);
        state.ResumeTiming();
    }
    log.Adopt(nullptr);
    state.counters["ns_per_declaration"] =
        benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
}

// The floor: what reading the two files twice and logging every declaration
// costs by itself, with the same line reads and the same flushes.
std::size_t FloorPass(std::FILE* file, std::FILE* log, const char* prefix, std::size_t counter) {
    char line[1024];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        if (line[0] == '\0' || line[0] == '[' || line[0] == ';' || line[0] == '/') continue;
        char* equals = std::strchr(line, '=');
        if (equals == nullptr) continue;
        if (log != nullptr) {
            const char letter = equals[1];
            *equals = '\0';
            std::fprintf(log, "%ld %s%s %c %ld\n", static_cast<long>(counter), prefix, line, letter,
                         static_cast<long>(TypeCodeSize(letter)));
            std::fflush(log);
        }
        ++counter;
    }
    return counter;
}

void FloorStartup(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    const std::string& directory = TheDirectories().For(count);
    if (directory.empty()) return state.SkipWithError("cannot write the definition files");
    const std::string iorshPath = directory + "iorsh.mem", memshPath = directory + "memsh.mem";
    const std::string logPath = directory + "tolsa_log.txt";
    for (auto _ : state) {
        std::FILE* log = std::fopen(logPath.c_str(), "w");
        std::FILE* iorsh = std::fopen(iorshPath.c_str(), "r");
        std::FILE* memsh = std::fopen(memshPath.c_str(), "r");
        if (log == nullptr || iorsh == nullptr || memsh == nullptr) {
            state.SkipWithError("cannot open the files");
            break;
        }
        const std::size_t counted = FloorPass(memsh, nullptr, "", FloorPass(iorsh, nullptr, "", 0));
        std::rewind(iorsh);
        std::rewind(memsh);
        const std::size_t filled = FloorPass(memsh, log, "MEMSH_", FloorPass(iorsh, log, "IORSH_", 0));
        std::fclose(iorsh);
        std::fclose(memsh);
        std::fclose(log);
        if (counted != count || filled != count) {
            state.SkipWithError("the floor miscounted");
            break;
        }
    }
    state.counters["ns_per_declaration"] =
        benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
}

// Bytes the allocator holds for an index over `count` records: heap chunks
// in use (headers included) plus mmapped blocks (the large bucket arrays).
void IndexMemory(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    const std::vector<bench::Declared> declared = bench::MakeDeclarations(count);
    std::vector<VariableRecord> records(count);
    for (std::size_t i = 0; i < count; ++i)
        std::snprintf(records[i].name, sizeof records[i].name, "%s", bench::FullNameOf(declared, i).c_str());
    double bytesPerVariable = 0;
    for (auto _ : state) {
        const struct mallinfo2 before = mallinfo2();
        NameIndex* index = CreateNameIndex(16, HashStoredName, NamesEqual);
        for (VariableRecord& record : records) InsertIntoNameIndex(index, &record, &record);
        const struct mallinfo2 after = mallinfo2();
        const auto used = [](const struct mallinfo2& info) { return static_cast<double>(info.uordblks + info.hblkhd); };
        bytesPerVariable = (used(after) - used(before)) / static_cast<double>(count);
        if (index == nullptr || index->entryCount != count) {
            state.SkipWithError("the index lost entries");
            break;
        }
        state.PauseTiming();
        ReleaseNameIndex(index);
        state.ResumeTiming();
    }
    state.counters["bytes_per_variable"] = bytesPerVariable;
}

}  // namespace

BENCHMARK(Startup)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(FloorStartup)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(IndexMemory)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

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
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
