// One start-up attempt against a private directory and an area the test
// provides: the log line by line, the record bytes, and every way an attempt
// fails, without leaking what it made.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "UnitSupport.h"
#include "index/NameIndex.h"
#include "store/Log.h"
#include "store/Startup.h"

#ifdef __linux__
#include <filesystem>
#endif

namespace tolsa {
namespace {

using test::AsLogText;

constexpr unsigned char kMarker = 0xA5;

// The area start-up maps: a heap block of whole records, of which the test
// reports `reportedBytes` as the real size, as an existing area made from
// fewer declarations would.
struct FakeArea {
    std::vector<VariableRecord> records;
    uint64_t reportedBytes = 0;
    bool fail = false;
    const char* failure = nullptr;  // why, when failing
    int calls = 0;
    std::string name;
    uint32_t requested = 0;
};
FakeArea* fakeArea = nullptr;

platform::MappedArea OpenFakeArea(const char* name, uint32_t size) {
    FakeArea& area = *fakeArea;
    ++area.calls;
    area.name = name;
    area.requested = size;
    if (area.fail) return {.failure = area.failure};
    return {area.records.data(), area.reportedBytes};
}

const std::string kIorsh = "Speed=L\nName=$\n";
const std::string kMemsh = "[Section]\n; note\nMode=W\n";

class StartupTest : public testing::Test {
protected:
    void SetUp() override {
        fakeArea = &area_;
        directory_ = dir_.Prefix();
        environment_.directory = directory_.c_str();
        environment_.areaName = "unit-area";
        environment_.openArea = OpenFakeArea;
        environment_.allocator = &allocator_.Interface();
        UseArea(16, 16 * kItemSize, 0);
    }
    void TearDown() override {
        ReleaseNameIndex(store_.index);
        EXPECT_EQ(allocator_.LiveBlocks(), 0u);
        EXPECT_EQ(allocator_.BadReleases(), 0u);
        log_.Adopt(nullptr);
        fakeArea = nullptr;
    }

    void UseArea(std::size_t records, uint64_t reportedBytes, unsigned char fill) {
        area_.records.assign(records, VariableRecord{});
        std::memset(area_.records.data(), fill, records * sizeof(VariableRecord));
        area_.reportedBytes = reportedBytes;
    }
    void Files(const std::string& iorsh, const std::string& memsh) {
        dir_.Write("iorsh.mem", iorsh);
        dir_.Write("memsh.mem", memsh);
    }
    bool Run() { return RunStartup(environment_, log_, store_); }
    std::string LogText() const { return dir_.Read("tolsa_log.txt"); }
    std::string AddressLine() const { return "shared memory is " + std::string(Address(area_.records.data())) + "\n"; }
    const VariableRecord* Find(const char* name) const { return static_cast<const VariableRecord*>(SearchNameIndex(store_.index, name)); }
    const VariableRecord* Record(std::size_t i) const { return &area_.records[i]; }

    test::TempDir dir_;
    test::TestAllocator allocator_;
    FakeArea area_;
    std::string directory_;
    StartupEnvironment environment_;
    Log log_;
    Store store_;
};

TEST_F(StartupTest, ExampleFilesGiveTheirLogAndRecords) {
    UseArea(3, 3 * kItemSize, 0);
    Files(kIorsh, kMemsh);
    ASSERT_TRUE(Run());
    EXPECT_EQ(LogText(), AsLogText("tolsa v" TOLSA_VERSION "\n"
                                   "2 variables after iorsh\n"
                                   "3 variables total\n"
                                   "will allocate 984 bytes (328 per item)\n" +
                                   AddressLine() +
                                   "0 IORSH_Speed L 4\n"
                                   "1 IORSH_Name $ 63\n"
                                   "2 MEMSH_Mode W 2\n"));
    EXPECT_EQ(area_.calls, 1);
    EXPECT_EQ(area_.name, "unit-area");
    EXPECT_EQ(area_.requested, 984u);
    EXPECT_EQ(store_.base, Record(0));
    EXPECT_EQ(store_.count, 3);
    EXPECT_EQ(store_.areaSize, 984u);
    ASSERT_NE(store_.index, nullptr);
    EXPECT_EQ(store_.index->entryCount, 3u);
    EXPECT_EQ(Find("IORSH_Speed"), Record(0));
    EXPECT_EQ(Find("IORSH_Name"), Record(1));
    EXPECT_EQ(Find("MEMSH_Mode"), Record(2));
    EXPECT_EQ(Find("IORSH_Mode"), nullptr);
}

TEST_F(StartupTest, WritesOnlyNameTypeAndSize) {
    // A live area: every byte holds something already.
    UseArea(5, 5 * kItemSize, kMarker);
    Files("Speed=L\nName=$\nFlag=\nOdd=x\n", kMemsh);
    ASSERT_TRUE(Run());
    const struct {
        const char* name;
        char type;
        int32_t size;
    } expected[] = {
        {"IORSH_Speed", 'L', 4}, {"IORSH_Name", '$', 63}, {"IORSH_Flag", '\n', 0}, {"IORSH_Odd", 'x', 0},
        {"MEMSH_Mode", 'W', 2},
    };
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(expected[i].name);
        const VariableRecord& r = *Record(i);
        const std::size_t length = std::strlen(expected[i].name);
        EXPECT_EQ(std::memcmp(r.name, expected[i].name, length + 1), 0);
        for (std::size_t b = length + 1; b < sizeof r.name; ++b) ASSERT_EQ((unsigned char)r.name[b], kMarker) << b;
        EXPECT_EQ(r.type, expected[i].type);
        for (unsigned char b : r.reserved) EXPECT_EQ(b, kMarker);
        EXPECT_EQ(r.size, expected[i].size);
        for (unsigned char b : r.value) ASSERT_EQ(b, kMarker);
    }
    // A line end as letter splits the record's log line.
    EXPECT_NE(LogText().find(AsLogText("2 IORSH_Flag \n 0\n3 IORSH_Odd x 0\n")), std::string::npos) << LogText();
}

TEST_F(StartupTest, MissingDefinitionFile) {
    for (const char* missing : {"iorsh", "memsh"}) {
        SCOPED_TRACE(missing);
        Files(kIorsh, kMemsh);
        const std::string file = std::string(missing) + ".mem";
        dir_.Remove(file);
        EXPECT_FALSE(Run());
        EXPECT_EQ(LogText(), AsLogText("tolsa v" TOLSA_VERSION "\nfailed to open " + std::string(missing) + " file at " +
                                       dir_.PathOf(file) + "\n"));
        EXPECT_EQ(area_.calls, 0);
        EXPECT_EQ(store_.base, nullptr);
        EXPECT_EQ(allocator_.LiveBlocks(), 0u);
    }
}

TEST_F(StartupTest, NoDeclarationsCreateNoArea) {
    Files("; nothing\n[Section]\n", "");
    EXPECT_FALSE(Run());
    EXPECT_EQ(LogText(), AsLogText("tolsa v" TOLSA_VERSION "\n0 variables after iorsh\n0 variables total\n"
                                   "will allocate 0 bytes (328 per item)\nshared memory is 0000000000000000\n"));
    EXPECT_EQ(area_.calls, 0) << "an area of 0 bytes is never asked for";
    EXPECT_EQ(allocator_.LiveBlocks(), 0u);
}

TEST_F(StartupTest, AreaThatCannotBeCreatedPublishesNothing) {
    // Without a reason, and with one the platform gives (the start-up guard
    // of another process held too long), which follows the address.
    for (const char* failure : {static_cast<const char*>(nullptr), "the guard stayed locked"}) {
        SCOPED_TRACE(failure == nullptr ? "no reason" : failure);
        Files(kIorsh, kMemsh);
        area_.fail = true;
        area_.failure = failure;
        area_.calls = 0;
        EXPECT_FALSE(Run());
        EXPECT_EQ(area_.calls, 1);
        const std::string log = LogText();
        const std::string tail = AsLogText("will allocate 984 bytes (328 per item)\nshared memory is 0000000000000000\n" +
                                           std::string(failure == nullptr ? "" : failure) + (failure ? "\n" : ""));
        ASSERT_GE(log.size(), tail.size());
        EXPECT_EQ(log.substr(log.size() - tail.size()), tail) << "no record line after a null address";
        EXPECT_EQ(allocator_.LiveBlocks(), 0u);
    }
}

// 13,094,413 records need 4,294,967,464 bytes, whose low 32 bits (168) would
// otherwise make an area far too small for them.
TEST_F(StartupTest, AreaLargerThan32BitsIsNotCreated) {
    constexpr uint32_t kCount = 13094413;
    std::string lines;
    lines.reserve(2 * kCount);
    for (uint32_t i = 0; i < kCount; ++i) lines += "=\n";
    Files(lines, "");
    EXPECT_FALSE(Run());
    EXPECT_EQ(area_.calls, 0);
    EXPECT_EQ(LogText(), AsLogText("tolsa v" TOLSA_VERSION "\n13094413 variables after iorsh\n13094413 variables total\n"
                                   "will allocate 168 bytes (328 per item)\nshared memory is 0000000000000000\n"));
    EXPECT_EQ(store_.base, nullptr);
    EXPECT_EQ(allocator_.LiveBlocks(), 0u);
}

TEST_F(StartupTest, FillsOnlyTheRecordsThatFit) {
    const struct {
        uint64_t reportedBytes;
        int32_t filled;
        const char* leftOutLine;
    } cases[] = {
        {3 * kItemSize, 3, nullptr},
        {5 * kItemSize, 3, nullptr},  // an existing area made from more declarations
        {3 * kItemSize - 1, 2, "1 declarations do not fit the shared area\n"},
        {2 * kItemSize + 1, 2, "1 declarations do not fit the shared area\n"},
        {kItemSize, 1, "2 declarations do not fit the shared area\n"},
        {kItemSize - 1, 0, "3 declarations do not fit the shared area\n"},
    };
    const char* names[] = {"IORSH_Speed", "IORSH_Name", "MEMSH_Mode"};
    const char* lines[] = {"0 IORSH_Speed L 4\n", "1 IORSH_Name $ 63\n", "2 MEMSH_Mode W 2\n"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reportedBytes);
        UseArea(5, c.reportedBytes, kMarker);
        Files(kIorsh, kMemsh);
        ASSERT_TRUE(Run());
        EXPECT_EQ(store_.count, c.filled);
        EXPECT_EQ(store_.areaSize, c.reportedBytes);
        std::string tail;
        for (int32_t i = 0; i < c.filled; ++i) tail += lines[i];
        if (c.leftOutLine != nullptr) tail += c.leftOutLine;
        const std::string log = LogText();
        const std::string expectedTail = AddressLine() + tail;
        EXPECT_EQ(log.substr(log.find("shared memory is ")), AsLogText(expectedTail));
        for (int32_t i = 0; i < 3; ++i) {
            EXPECT_EQ(Find(names[i]), i < c.filled ? Record(i) : nullptr) << names[i];
        }
        EXPECT_EQ(store_.index->entryCount, static_cast<uint32_t>(c.filled));
        for (std::size_t i = c.filled; i < 5; ++i) {
            const auto* bytes = reinterpret_cast<const unsigned char*>(Record(i));
            for (std::size_t b = 0; b < sizeof(VariableRecord); ++b) ASSERT_EQ(bytes[b], kMarker) << "record " << i;
        }
        ReleaseNameIndex(store_.index);
        store_ = Store{};
    }
}

TEST_F(StartupTest, LongNamesAreCutTo249Characters) {
    for (std::size_t length : {249u, 250u, 10000u}) {
        SCOPED_TRACE(length);
        UseArea(3, 3 * kItemSize, kMarker);
        const std::string declared(length, 'n');
        Files("Speed=L\n" + declared + "=B\nNext=W\n", "");
        ASSERT_TRUE(Run());
        ASSERT_EQ(store_.count, 3);
        const std::string full = "IORSH_" + declared.substr(0, 249);
        const VariableRecord& r = *Record(1);
        EXPECT_EQ(std::memcmp(r.name, full.c_str(), 256), 0) << "255 characters and the terminator";
        EXPECT_EQ(r.type, 'B');
        EXPECT_EQ(r.size, 1);
        for (unsigned char b : r.reserved) EXPECT_EQ(b, kMarker);
        EXPECT_EQ(Find(full.c_str()), &r);
        EXPECT_EQ(Find("IORSH_Next"), Record(2));
        const std::string cutLine = length > 249 ? "name of variable 1 cut to 249 characters\n" : "";
        const std::string lines = "0 IORSH_Speed L 4\n1 " + full + " B 1\n" + cutLine + "2 IORSH_Next W 2\n";
        const std::string log = LogText();
        EXPECT_EQ(log.substr(log.find("shared memory is ")), AsLogText(AddressLine() + lines));
        ReleaseNameIndex(store_.index);
        store_ = Store{};
    }
}

TEST_F(StartupTest, DuplicateNameFoundByTheGrowthRule) {
    // Dup is declared as records 0 and 1; fillers follow in the second file.
    const struct {
        int fillers;
        std::size_t found;
    } cases[] = {{0, 1}, {33, 1}, {34, 0}, {62, 0}, {63, 1}};  // growths at 36 and 65 records
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fillers);
        std::string memsh;
        for (int i = 0; i < c.fillers; ++i) memsh += "Fill" + std::to_string(i) + "=B\n";
        UseArea(2 + c.fillers, (2 + c.fillers) * kItemSize, 0);
        Files("Dup=L\nDup=W\n", memsh);
        ASSERT_TRUE(Run());
        ASSERT_EQ(store_.count, 2 + c.fillers);
        EXPECT_EQ(Find("IORSH_Dup"), Record(c.found));
        EXPECT_NE(LogText().find(AsLogText("0 IORSH_Dup L 4\n1 IORSH_Dup W 2\n")), std::string::npos);
        ReleaseNameIndex(store_.index);
        store_ = Store{};
    }
}

TEST_F(StartupTest, FailedIndexCreationPublishesNothing) {
    for (std::size_t failing : {1u, 2u}) {  // the header, then the bucket array
        SCOPED_TRACE(failing);
        Files(kIorsh, kMemsh);
        allocator_.FailAllocationNumber(failing);
        EXPECT_FALSE(Run());
        allocator_.FailNothing();
        EXPECT_EQ(LogText(), AsLogText("tolsa v" TOLSA_VERSION "\n"));
        EXPECT_EQ(area_.calls, 0);
        EXPECT_EQ(store_.index, nullptr);
        EXPECT_EQ(allocator_.LiveBlocks(), 0u);
    }
}

TEST_F(StartupTest, RecordWhoseEntryCannotBeAllocatedIsReachableByIndexOnly) {
    UseArea(3, 3 * kItemSize, 0);
    Files(kIorsh, kMemsh);
    allocator_.FailAllocationNumber(3);  // the header, the buckets, then record 0's entry
    ASSERT_TRUE(Run());
    EXPECT_EQ(store_.count, 3);
    EXPECT_STREQ(Record(0)->name, "IORSH_Speed");
    EXPECT_NE(LogText().find(AsLogText("0 IORSH_Speed L 4\n")), std::string::npos);
    EXPECT_EQ(Find("IORSH_Speed"), nullptr);
    EXPECT_EQ(Find("IORSH_Name"), Record(1));
    EXPECT_EQ(store_.index->entryCount, 2u);
}

#ifdef __linux__
std::size_t OpenDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}
#endif

TEST_F(StartupTest, RepeatedFailedAttemptsLeakNothing) {
    Files(kIorsh, kMemsh);
    area_.fail = true;
#ifdef __linux__
    ASSERT_FALSE(Run());  // the log stream stays open between attempts: count with it
    const std::size_t descriptors = OpenDescriptors();
#endif
    for (int attempt = 0; attempt < 50; ++attempt) {
        switch (attempt % 3) {
            case 0: dir_.Remove("memsh.mem"); break;
            case 1: dir_.Remove("iorsh.mem"); break;
            case 2: Files(kIorsh, kMemsh); break;
        }
        ASSERT_FALSE(Run()) << attempt;
        ASSERT_EQ(allocator_.LiveBlocks(), 0u) << attempt;
        if (attempt % 3 == 1) Files(kIorsh, kMemsh);
    }
#ifdef __linux__
    EXPECT_EQ(OpenDescriptors(), descriptors);
#endif
    // Each attempt started the log afresh: only the last one is in it.
    const std::string log = LogText();
    EXPECT_EQ(log.find("tolsa v" TOLSA_VERSION), 0u);
    EXPECT_EQ(log.find("tolsa v" TOLSA_VERSION "", 1), std::string::npos);
}

}  // namespace
}  // namespace tolsa
