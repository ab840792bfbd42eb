// Reads and writes through the real exports, against their floor and the
// lookups users would pick instead, on the area that start-up built from
// /kestor at load (the bench script writes the definition files first).
// Every access follows one precomputed random sequence, so that no loop
// walks the records in order and the caches see what a real caller gives them.

#include <boost/interprocess/managed_shared_memory.hpp>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#include "harness/Harness.h"
#include "tolsa.h"

namespace {

namespace bip = boost::interprocess;
namespace hb = tolsa::bench;

constexpr std::size_t kSequenceLength = 1u << 17;  // longer than either area
constexpr std::size_t kSequenceMask = kSequenceLength - 1;

// What a caller reads into and writes from: a string source for '$', whose
// first bytes serve as the raw value of the other letters.
struct Buffers {
    alignas(64) unsigned char destination[64] = {};
    alignas(64) char source[64] = "benchmark value";
};

struct Area {
    TolsaVariableRecord* base = nullptr;
    int32_t count = 0;
    std::vector<std::string> names;  // full names, from the records
    // Random sequences of indices: any letter, and one per letter.
    std::vector<int32_t> any, byLetter[3];
    std::vector<const char*> anyName, nameByLetter[3], iorshDeclared;
};

int LetterSlot(char letter) { return letter == 'L' ? 0 : letter == 'D' ? 1 : letter == '$' ? 2 : -1; }

Area& TheArea() {
    static Area area;
    return area;
}

bool PrepareArea() {
    Area& area = TheArea();
    area.base = TolsaGetPointer();
    area.count = TolsaGetNumberOfItems();
    if (area.base == nullptr || area.count <= 0) return false;
    std::vector<int32_t> ofLetter[3], iorsh;
    area.names.resize(static_cast<std::size_t>(area.count));
    for (int32_t i = 0; i < area.count; ++i) {
        area.names[static_cast<std::size_t>(i)] = area.base[i].name;
        const int slot = LetterSlot(area.base[i].type);
        if (slot >= 0) ofLetter[slot].push_back(i);
        if (std::strncmp(area.base[i].name, "IORSH_", 6) == 0) iorsh.push_back(i);
    }
    std::mt19937 random(20240611);
    auto pick = [&random](const std::vector<int32_t>& from) {
        std::vector<int32_t> sequence(kSequenceLength);
        std::uniform_int_distribution<std::size_t> which(0, from.size() - 1);
        for (int32_t& index : sequence) index = from[which(random)];
        return sequence;
    };
    auto namesOf = [&area](const std::vector<int32_t>& indices, std::size_t skip) {
        std::vector<const char*> sequence;
        sequence.reserve(indices.size());
        for (int32_t index : indices) sequence.push_back(area.names[static_cast<std::size_t>(index)].c_str() + skip);
        return sequence;
    };
    std::vector<int32_t> all(static_cast<std::size_t>(area.count));
    for (int32_t i = 0; i < area.count; ++i) all[static_cast<std::size_t>(i)] = i;
    area.any = pick(all);
    area.anyName = namesOf(area.any, 0);
    for (int slot = 0; slot < 3; ++slot) {
        if (ofLetter[slot].empty()) return false;
        area.byLetter[slot] = pick(ofLetter[slot]);
        area.nameByLetter[slot] = namesOf(area.byLetter[slot], 0);
    }
    if (iorsh.empty()) return false;
    area.iorshDeclared = namesOf(pick(iorsh), 6);
    return true;
}

// ---- Blocks ---------------------------------------------------------------

// One pass over the start of `sequence` per block: A and B see the same
// indices or names in the same order. CPU time: one thread, and other load on
// the shared cores disturbs it less than the wall clock.
template <typename Item, typename Call>
hb::Block Over(const std::vector<Item>& sequence, Call call) {
    return hb::Timed(
        [&sequence, call](uint64_t iterations) {
            for (uint64_t i = 0; i < iterations; ++i) hb::Keep(call(sequence[i & kSequenceMask]));
        },
        hb::Clock::ThreadCpu);
}

Buffers& TheBuffers() {
    static Buffers buffers;
    return buffers;
}

// The copy of a record's size that a caller who knows the sizes writes: one
// fixed move for each size of the type table, none through a call.
void CopySize(void* to, const void* from, int32_t size) {
    switch (size) {
        case 1: std::memcpy(to, from, 1); return;
        case 2: std::memcpy(to, from, 2); return;
        case 4: std::memcpy(to, from, 4); return;
        case 8: std::memcpy(to, from, 8); return;
        case 63: std::memcpy(to, from, 63); return;
        default:
            if (size > 0 && size <= 64) std::memcpy(to, from, static_cast<std::size_t>(size));
    }
}

// The floor of a read by index: a range check and a copy of the record's
// size out of the mapped page, with nothing around it.
auto FloorRead() {
    return [base = TheArea().base, count = TheArea().count, to = TheBuffers().destination](int32_t index) {
        if (index < 0 || index >= count) return -1;
        CopySize(to, base[index].value, base[index].size);
        return 0;
    };
}

// The floor of a write by index: the same, the other way.
auto FloorWrite() {
    return [base = TheArea().base, count = TheArea().count, from = TheBuffers().source](int32_t index) {
        if (index < 0 || index >= count) return -1;
        CopySize(base[index].value, from, base[index].size);
        return 0;
    };
}

// ---- Peers ----------------------------------------------------------------
struct TransparentHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

using StringMap = std::unordered_map<std::string, TolsaVariableRecord*>;
using ViewMap = std::unordered_map<std::string, TolsaVariableRecord*, TransparentHash, std::equal_to<>>;

template <typename Map>
Map& PeerMap() {
    static Map map = [] {
        Map built;
        const Area& area = TheArea();
        built.reserve(static_cast<std::size_t>(area.count));
        for (int32_t i = 0; i < area.count; ++i) built.emplace(area.names[static_cast<std::size_t>(i)], area.base + i);
        return built;
    }();
    return map;
}

int32_t CopyOut(const TolsaVariableRecord* record, void* destination) {
    if (record == nullptr) return -3;
    std::memcpy(destination, record->value, static_cast<std::size_t>(record->size));
    return 0;
}

// The value a Boost.Interprocess user would keep under each name.
struct BoostValue {
    int32_t size;
    unsigned char bytes[64];
};

class BoostSegment {
public:
    BoostSegment() : name_("tolsa-bench-boost-" + std::to_string(getpid())) {
        const Area& area = TheArea();
        bip::shared_memory_object::remove(name_.c_str());
        segment_ = bip::managed_shared_memory(bip::create_only, name_.c_str(),
                                              4096 + static_cast<std::size_t>(area.count) * 512);
        for (int32_t i = 0; i < area.count; ++i)
            segment_.construct<BoostValue>(area.names[static_cast<std::size_t>(i)].c_str())(
                BoostValue{area.base[i].size, {}});
    }
    ~BoostSegment() { bip::shared_memory_object::remove(name_.c_str()); }
    bip::managed_shared_memory& Segment() { return segment_; }

private:
    std::string name_;
    bip::managed_shared_memory segment_;
};

BoostSegment& Boost() {
    static BoostSegment segment;
    return segment;
}

void CompareAll(hb::Harness& harness) {
    static const char* const kLetterNames[3] = {"L", "D", "$"};
    Buffers& buffers = TheBuffers();
    Area& area = TheArea();
    const std::string at = " at " + std::to_string(area.count);
    for (int slot = 0; slot < 3; ++slot) {
        const std::string letter = kLetterNames[slot];
        harness.Compare({.target = "read by index " + letter + at + " <= 2x floor",
                         .a = {"ReadByIndex/" + letter, Over(area.byLetter[slot], [&buffers](int32_t i) {
                                   return TolsaReadVar(i, buffers.destination);
                               })},
                         .b = {"FloorReadByIndex/" + letter, Over(area.byLetter[slot], FloorRead())},
                         .goal = hb::AtMost(2.0)});
    }
    for (int slot = 0; slot < 3; ++slot) {
        const std::string letter = kLetterNames[slot];
        harness.Compare({.target = "write by index " + letter + at + " (no goal)",
                         .a = {"WriteByIndex/" + letter, Over(area.byLetter[slot], [&buffers](int32_t i) {
                                   return TolsaWriteVar(i, buffers.source);
                               })},
                         .b = {"FloorWriteByIndex/" + letter, Over(area.byLetter[slot], FloorWrite())},
                         .goal = hb::NoGoal()});
    }

    // By name, against what a user would pick instead.
    const hb::Side mapString{"PeerMapString", Over(area.anyName, [&buffers](const char* n) {
                                 const StringMap& map = PeerMap<StringMap>();
                                 const auto found = map.find(n);  // builds a std::string, as a const char* caller must
                                 return CopyOut(found != map.end() ? found->second : nullptr, buffers.destination);
                             })};
    const hb::Side boostFind{"PeerBoostFind", Over(area.anyName, [&buffers](const char* n) {
                                 const auto found = Boost().Segment().find<BoostValue>(n);
                                 if (found.first == nullptr) return -3;
                                 std::memcpy(buffers.destination, found.first->bytes,
                                             static_cast<std::size_t>(found.first->size));
                                 return 0;
                             })};
    const hb::Side readByName{"ReadByName", Over(area.anyName, [&buffers](const char* n) {
                                  return TolsaReadVarName(n, buffers.destination);
                              })};
    const hb::Side writeByName{"WriteByName", Over(area.anyName, [&buffers](const char* n) {
                                   return TolsaWriteVarName(n, buffers.source);
                               })};
    for (const hb::Side* side : {&readByName, &writeByName}) {
        harness.Compare({.target = side->name + at + " <= 1x map<string>", .a = *side, .b = mapString,
                         .goal = hb::AtMost(1.0)});
        harness.Compare({.target = "Boost find >= 3x " + side->name + at, .a = boostFind, .b = *side,
                         .goal = hb::AtLeast(3.0)});
    }

    // The typed and family calls, beside the same peer.
    const auto byName = [&](const char* name, const std::vector<const char*>& sequence, auto call) {
        harness.Compare({.target = std::string(name) + at + " vs map<string> (no goal)",
                         .a = {name, Over(sequence, call)},
                         .b = mapString,
                         .goal = hb::NoGoal()});
    };
    byName("ReadInt32", area.nameByLetter[0], [](const char* n) { return TolsaReadInt32(n); });
    byName("WriteInt32", area.nameByLetter[0], [](const char* n) { return TolsaWriteInt32(n, 42); });
    byName("ReadDouble", area.nameByLetter[1], [](const char* n) { return TolsaReadDouble(n); });
    byName("WriteDouble", area.nameByLetter[1], [](const char* n) { return TolsaWriteDouble(n, 4.2); });
    byName("ReadString", area.nameByLetter[2],
           [&buffers](const char* n) { return TolsaReadString(n, reinterpret_cast<char*>(buffers.destination)); });
    byName("WriteString", area.nameByLetter[2], [&buffers](const char* n) { return TolsaWriteString(n, buffers.source); });
    byName("GetPointerVarName", area.anyName, [](const char* n) { return TolsaGetPointerVarName(n); });
    byName("FamilyReadVarName", area.iorshDeclared,
           [&buffers](const char* n) { return IORShReadVarName(n, buffers.destination); });
    harness.Compare({.target = "map<string_view> vs map<string>" + at + " (no goal)",
                     .a = {"PeerMapStringView", Over(area.anyName, [&buffers](const char* n) {
                               const ViewMap& map = PeerMap<ViewMap>();
                               const auto found = map.find(std::string_view(n));
                               return CopyOut(found != map.end() ? found->second : nullptr, buffers.destination);
                           })},
                     .b = mapString,
                     .goal = hb::NoGoal()});
}

}  // namespace

int main(int argc, char** argv) {
    hb::Harness harness("tolsa_bench_access", argc, argv);
    if (harness.Done()) return harness.ExitCode();
    if (!PrepareArea()) {
        std::fprintf(stderr, "tolsa_bench_access: no area with L, D and $ variables (write /kestor first)\n");
        return 2;
    }
    // Built before timing starts, not inside the first measured iteration.
    PeerMap<StringMap>();
    PeerMap<ViewMap>();
    Boost();
    CompareAll(harness);
    return harness.Finish();
}
