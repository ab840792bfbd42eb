// Start-up on two arbitrary definition files against a private area: a heap
// block filled with a marker byte, with a guard zone behind it. Afterwards
// every filled record lies inside the area, start-up wrote nothing but names,
// letters and sizes, and every record is found again by name: as itself, or,
// for a name declared more than once, as the one the index's growth rule picks.
//
// Input: the first file, "@@@@", the second file. The input's length picks the
// area: as asked, smaller (a live area made from other files), or rounded up
// to whole pages (as a Windows view is).

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "FuzzCheck.h"
#include "index/NameIndex.h"
#include "store/Lookup.h"
#include "store/Startup.h"

namespace {

constexpr unsigned char kMarker = 0xA5;
constexpr std::size_t kGuard = 4096;

std::vector<unsigned char> area;
std::size_t areaMode = 0;
std::size_t areaSize = 0;

tolsa::platform::MappedArea OpenArea(const char*, uint32_t size) {
    if (size == 0) return {};
    const std::size_t records = size / tolsa::kItemSize;
    switch (areaMode) {
        case 1: areaSize = (records + 1) / 2 * tolsa::kItemSize; break;
        case 2: areaSize = (std::size_t{size} + 4095) / 4096 * 4096; break;
        default: areaSize = size; break;
    }
    area.assign(areaSize + kGuard, kMarker);
    return {area.data(), areaSize};
}

const std::string& Directory() {
    static const std::string directory = [] {
        std::string path = (std::filesystem::temp_directory_path() / "tolsa-fuzz-XXXXXX").string();
        FUZZ_CHECK(mkdtemp(path.data()) != nullptr);
        return path + "/";
    }();
    return directory;
}

void WriteFile(const std::string& path, std::string_view content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

// The record of each name a search finds: the chains' order, replayed. Each
// insertion goes first in its chain; each growth (into a fresh array, as with
// the system allocator) reverses the entries of every key.
std::unordered_map<std::string, int32_t> ExpectedFinds(const tolsa::VariableRecord* base, int32_t count) {
    std::unordered_map<std::string, std::deque<int32_t>> order;
    uint32_t position = 0, limit = tolsa::NameIndexLoadLimit(tolsa::NameIndexPrimes[0]);
    for (int32_t i = 0; i < count; ++i) {
        if (static_cast<uint32_t>(i) + 1 > limit && position + 1 < tolsa::kNameIndexPrimeCount) {
            limit = tolsa::NameIndexLoadLimit(tolsa::NameIndexPrimes[++position]);
            for (auto& [name, chain] : order) chain = std::deque<int32_t>(chain.rbegin(), chain.rend());
        }
        order[base[i].name].push_front(i);
    }
    std::unordered_map<std::string, int32_t> found;
    for (const auto& [name, chain] : order) found[name] = chain.front();
    return found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find("@@@@");
    WriteFile(Directory() + "iorsh.mem", input.substr(0, split));
    WriteFile(Directory() + "memsh.mem", split == std::string_view::npos ? std::string_view() : input.substr(split + 4));
    areaMode = size % 3;
    areaSize = 0;
    area.clear();

    tolsa::StartupEnvironment environment;
    environment.directory = Directory().c_str();
    environment.areaName = "fuzz";
    environment.openArea = OpenArea;
    tolsa::Log log;
    tolsa::Store store;
    if (tolsa::RunStartup(environment, log, store)) {
        FUZZ_CHECK(store.base == reinterpret_cast<tolsa::VariableRecord*>(area.data()));
        FUZZ_CHECK(store.areaSize == areaSize && store.count >= 0);
        FUZZ_CHECK(static_cast<std::size_t>(store.count) * tolsa::kItemSize <= areaSize);
        FUZZ_CHECK(store.index->entryCount == static_cast<uint32_t>(store.count));
        for (std::size_t i = static_cast<std::size_t>(store.count) * tolsa::kItemSize; i < area.size(); ++i)
            FUZZ_CHECK(area[i] == kMarker);  // nothing behind the last record

        const auto finds = ExpectedFinds(store.base, store.count);
        for (int32_t i = 0; i < store.count; ++i) {
            const tolsa::VariableRecord& record = store.base[i];
            const std::size_t length = strnlen(record.name, sizeof record.name);
            FUZZ_CHECK(length < sizeof record.name);
            const std::string_view name(record.name, length);
            FUZZ_CHECK(name.substr(0, 6) == "IORSH_" || name.substr(0, 6) == "MEMSH_");
            FUZZ_CHECK(record.size == tolsa::TypeCodeSize(record.type));
            for (unsigned char byte : record.reserved) FUZZ_CHECK(byte == kMarker);
            for (unsigned char byte : record.value) FUZZ_CHECK(byte == kMarker);

            const auto* found = static_cast<const tolsa::VariableRecord*>(tolsa::SearchNameIndex(store.index, record.name));
            FUZZ_CHECK(found != nullptr && found >= store.base && found < store.base + store.count);
            FUZZ_CHECK(std::strcmp(found->name, record.name) == 0);
            FUZZ_CHECK(found - store.base == finds.at(std::string(name)));
            // The families' route: prefix and declared name given apart.
            const std::string declared(name.substr(6));
            const std::string prefix(name.substr(0, 6));
            FUZZ_CHECK(tolsa::FindVariableByName(&store, {prefix.c_str(), declared.c_str()}) == found);
        }
        tolsa::ReleaseNameIndex(store.index);
    }
    log.Adopt(nullptr);  // closes the log of this run
    return 0;
}
