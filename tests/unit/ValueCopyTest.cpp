// The copy rules between a record and caller memory, byte for byte: which
// bytes each copy writes, and which it leaves alone.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "store/ValueCopy.h"

namespace tolsa {
namespace {

constexpr unsigned char kOld = 0xEE;     // what the value field held before
constexpr unsigned char kCaller = 0xCC;  // what caller memory held before

// Two records side by side, so that a copy running past the first one shows.
struct Records {
    VariableRecord record[2];
    Records(char type, int32_t size) {
        std::memset(record, kOld, sizeof record);
        std::strcpy(record[0].name, "IORSH_Var");
        record[0].type = type;
        record[0].size = size;
    }
    VariableRecord& r() { return record[0]; }
    std::string Value() const { return {reinterpret_cast<const char*>(record[0].value), sizeof record[0].value}; }
    bool NeighbourUntouched() const {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&record[1]);
        for (std::size_t i = 0; i < sizeof record[1]; ++i) {
            if (bytes[i] != kOld) return false;
        }
        return true;
    }
};

// Caller memory larger than any copy may write.
struct Buffer {
    std::array<unsigned char, 300> bytes;
    explicit Buffer(unsigned char fill = kCaller) { bytes.fill(fill); }
    explicit Buffer(const std::string& text, unsigned char fill = kCaller) : Buffer(fill) {
        std::memcpy(bytes.data(), text.data(), text.size());
    }
    std::string Text(std::size_t n) const { return {reinterpret_cast<const char*>(bytes.data()), n}; }
    std::size_t Changed(unsigned char fill = kCaller) const {  // bytes from the first one that differs to the last
        std::size_t last = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] != fill) last = i + 1;
        }
        return last;
    }
};

std::string Chars(std::size_t n, char first = 'a') {
    std::string text;
    for (std::size_t i = 0; i < n; ++i) text += static_cast<char>(first + i % 26);
    return text;
}

std::string Padded(const std::string& text, std::size_t to = 64) { return text + std::string(to - text.size(), '\0'); }

TEST(ValueCopy, StringWriteByIndexClearsTheRestOfTheField) {
    const struct {
        std::string source;  // with its terminator when it has one
        std::string value;
    } cases[] = {
        {std::string("abc", 4), Padded("abc")},
        {std::string(1, '\0'), Padded("")},
        {Chars(63) + '\0', Chars(63) + '\0'},
        {Chars(64), Chars(63) + '\0'},  // no terminator within 64 bytes
        {Chars(70) + '\0', Chars(63) + '\0'},
    };
    for (const auto& c : cases) {
        Records records('$', 63);
        const Buffer source(c.source, 'Z');
        WriteCopyByIndex(records.r(), source.bytes.data());
        EXPECT_EQ(records.Value(), c.value) << c.source;
        EXPECT_TRUE(records.NeighbourUntouched());
    }
}

TEST(ValueCopy, StringWriteByNameKeepsOldBytesAfterAShorterString) {
    Records records('$', 63);
    const Buffer first(std::string("abcdefgh", 9));
    WriteCopyByName(records.r(), first.bytes.data());
    EXPECT_EQ(records.Value(), std::string("abcdefgh", 9) + std::string(55, char(kOld)));
    const Buffer second(std::string("abc", 4));
    WriteCopyByName(records.r(), second.bytes.data());
    EXPECT_EQ(records.Value(), std::string("abc\0efgh\0", 9) + std::string(55, char(kOld)));

    // By index the same two writes leave bytes 3 to 63 NUL.
    WriteCopyByIndex(records.r(), first.bytes.data());
    WriteCopyByIndex(records.r(), second.bytes.data());
    EXPECT_EQ(records.Value(), Padded("abc"));
}

TEST(ValueCopy, StringWriteByNameCutsLongStringsTo63) {
    const struct {
        std::size_t length;
        std::string value;
    } cases[] = {
        {62, Chars(62) + '\0' + char(kOld)},
        {63, Chars(63) + '\0'},
        {64, Chars(63) + '\0'},
        {70, Chars(63) + '\0'},
    };
    for (const auto& c : cases) {
        Records records('$', 63);
        const Buffer source(Chars(c.length) + '\0');
        WriteCopyByName(records.r(), source.bytes.data());
        EXPECT_EQ(records.Value(), c.value) << c.length;
        EXPECT_TRUE(records.NeighbourUntouched());
    }
}

TEST(ValueCopy, StringReadWritesExactly64Bytes) {
    const struct {
        std::string value;  // the whole field
        std::string read;
    } cases[] = {
        {Padded(std::string("abc", 4), 64), Padded("abc")},
        {std::string("abc\0efgh", 8) + std::string(56, 'x'), Padded("abc")},  // what a write by name leaves
        {Padded("", 64), Padded("")},
        {Chars(64), Chars(63) + '\0'},  // another program left no terminator
        {Chars(63) + '\0', Chars(63) + '\0'},  // the longest string whose tail is clear
        {std::string(63, '\0') + 'z', Padded("")},  // a stray byte 63 only
        {Padded("abc", 62) + "z" + '\0', Padded("abc")},  // a stray byte inside the clear tail
        {std::string("abc\0", 4) + Chars(60, 'A'), Padded("abc")},  // a stray byte in every 16
    };
    for (const auto& c : cases) {
        Records records('$', 63);
        ASSERT_EQ(c.value.size(), 64u);
        std::memcpy(records.r().value, c.value.data(), 64);
        Buffer destination;
        ReadCopy(records.r(), destination.bytes.data());
        EXPECT_EQ(destination.Text(64), c.read);
        EXPECT_EQ(destination.bytes[64], kCaller) << "beyond the 64 bytes";
        EXPECT_EQ(destination.Changed(), 64u);
    }
}

TEST(ValueCopy, RawValuesCopyExactlyTheirSize) {
    const struct {
        char type;
        int32_t size;  // the size field, as start-up or another program left it
        std::size_t copied;
    } cases[] = {
        {'B', 1, 1}, {'H', 1, 1}, {'O', 1, 1}, {'M', 2, 2}, {'W', 2, 2}, {'L', 4, 4}, {'D', 8, 8},
        {'x', 0, 0}, {'l', 0, 0}, {'\n', 0, 0},
        // A corrupt size copies nothing rather than run past the field.
        {'L', -1, 0}, {'L', INT32_MIN, 0}, {'D', 100, 0}, {'D', 65, 0}, {'D', 64, 64},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << int(c.type) << " size " << c.size);
        const Buffer source(Chars(80, 'A'));
        const std::string expected = Chars(c.copied, 'A') + std::string(64 - c.copied, char(kOld));
        for (auto write : {WriteCopyByIndex, WriteCopyByName}) {
            Records records(c.type, c.size);
            write(records.r(), source.bytes.data());
            EXPECT_EQ(records.Value(), expected);
            EXPECT_TRUE(records.NeighbourUntouched());
        }
        Records records(c.type, c.size);
        std::memcpy(records.r().value, Chars(64, 'a').data(), 64);
        Buffer destination;
        ReadCopy(records.r(), destination.bytes.data());
        EXPECT_EQ(destination.Changed(), c.copied);
        EXPECT_EQ(destination.Text(c.copied), Chars(c.copied, 'a'));
    }
}

TEST(ValueCopy, NameCopyIsBoundedByTheField) {
    Records records('L', 4);
    Buffer destination;
    NameCopy(records.r(), reinterpret_cast<char*>(destination.bytes.data()));
    EXPECT_EQ(destination.Text(10), std::string("IORSH_Var", 10));
    EXPECT_EQ(destination.Changed(), 10u) << "bytes after the terminator are not copied";

    std::memset(records.r().name, 'n', sizeof records.r().name);  // no terminator
    Buffer full;
    NameCopy(records.r(), reinterpret_cast<char*>(full.bytes.data()));
    EXPECT_EQ(full.Text(256), std::string(255, 'n') + '\0');
    EXPECT_EQ(full.Changed(), 256u);

    std::strcpy(records.r().name, "");
    Buffer empty;
    NameCopy(records.r(), reinterpret_cast<char*>(empty.bytes.data()));
    EXPECT_EQ(empty.bytes[0], '\0');
    EXPECT_EQ(empty.Changed(), 1u);
}

}  // namespace
}  // namespace tolsa
