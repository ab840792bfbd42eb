// Decoding records for display, JSON, and the rows of list and watch.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ValueFormat.h"

namespace {

using tolsa::codec::Record;

Record Make(int index, const char* name, char type, int size, const std::string& value) {
    Record record;
    record.index = index;
    record.name = name;
    record.type = type;
    record.size = size;
    std::memcpy(record.value.data(), value.data(), value.size());
    return record;
}

TEST(ValueFormat, DecodesByTheTypeLetter) {
    const struct {
        char type;
        int size;
        std::string value;
        const char* decoded;
        const char* raw;
    } cases[] = {
        {'L', 4, "\xfe\xff\xff\xff", "-2", "feffffff"},
        {'B', 1, "\xff\x01", "255", "ff"},  // one byte only, whatever follows
        {'H', 1, "\x80", "128", "80"},
        {'O', 1, "\x01", "1", "01"},
        {'M', 2, "\xff\xff", "65535", "ffff"},
        {'W', 2, "\x34\x12", "4660", "3412"},
        {'D', 8, std::string("\x9a\x99\x99\x99\x99\x99\xb9\x3f", 8), "0.1", "9a9999999999b93f"},
        {'D', 8, std::string("\x00\x00\x00\x00\x00\x00\xf8\x7f", 8), "nan", "000000000000f87f"},
        {'$', 63, "abc\0def", "abc", nullptr},
        {'X', 0, "\x01\x02", "", ""},
        {'?', 3, "\x01\x02\x03\x04", "010203", "010203"},
        {'?', 99, "", nullptr, nullptr},  // a size beyond the field shows the field only
    };
    for (const auto& c : cases) {
        const Record record = Make(0, "N", c.type, c.size, c.value);
        if (c.decoded) {
            EXPECT_EQ(tolsa::codec::DecodeValue(record), c.decoded) << c.type;
        }
        if (c.raw) {
            EXPECT_EQ(tolsa::codec::RawHex(record), c.raw) << c.type;
        }
    }
    EXPECT_EQ(tolsa::codec::RawHex(Make(0, "N", '?', 99, "")).size(), 128u);
    // A string field without a terminator stops at its 64th byte.
    EXPECT_EQ(tolsa::codec::DecodeValue(Make(0, "N", '$', 63, std::string(64, 'q'))), std::string(64, 'q'));
}

TEST(ValueFormat, EscapesForOneLineAndForJson) {
    EXPECT_EQ(tolsa::codec::Printable("a\tb\nc\x7f" "d\xc3\xa9"), "a\\x09b\\x0ac\\x7fd\xc3\xa9");
    EXPECT_EQ(tolsa::codec::JsonString("q\"b\\s/\x01"), "\"q\\\"b\\\\s/\\u0001\"");
    // Valid UTF-8 passes; stray, overlong and surrogate bytes are escaped one by one.
    EXPECT_EQ(tolsa::codec::JsonString("\xc3\xa9\xf0\x9f\x99\x82"), "\"\xc3\xa9\xf0\x9f\x99\x82\"");
    EXPECT_EQ(tolsa::codec::JsonString("\xff\xc3"), "\"\\u00ff\\u00c3\"");
    EXPECT_EQ(tolsa::codec::JsonString("\xc0\xaf"), "\"\\u00c0\\u00af\"");
    EXPECT_EQ(tolsa::codec::JsonString("\xed\xa0\x80"), "\"\\u00ed\\u00a0\\u0080\"");
}

TEST(ValueFormat, JsonObjectsTypeTheirValues) {
    EXPECT_EQ(tolsa::codec::JsonObject(Make(3, "IORSH_Count", 'L', 4, "\x05")),
              "{\"index\": 3, \"name\": \"IORSH_Count\", \"type\": \"L\", \"size\": 4, \"value\": 5, \"raw\": \"05000000\"}");
    // JSON has no infinity: it goes as text.
    EXPECT_EQ(tolsa::codec::JsonObject(Make(0, "D", 'D', 8, std::string("\x00\x00\x00\x00\x00\x00\xf0\x7f", 8))),
              "{\"index\": 0, \"name\": \"D\", \"type\": \"D\", \"size\": 8, \"value\": \"inf\", \"raw\": \"000000000000f07f\"}");
    EXPECT_EQ(tolsa::codec::JsonObject(Make(1, "E", '\n', 0, "")),
              "{\"index\": 1, \"name\": \"E\", \"type\": \"\\u000a\", \"size\": 0, \"value\": \"\", \"raw\": \"\"}");
}

TEST(ValueFormat, RowsAlignToTheWidestAndCarryMarks) {
    const std::vector<Record> records = {Make(9, "A", 'L', 4, "\x01"), Make(10, "IORSH_Long name", '\r', 0, ""),
                                         Make(11, "B", '$', 63, "x")};
    EXPECT_EQ(tolsa::codec::FormatRows(records),
              (std::vector<std::string>{" 9  A                L      4  1",
                                        "10  IORSH_Long name  \\x0d   0",
                                        "11  B                $     63  x"}));
    const auto marked = tolsa::codec::FormatRows(records, {false, true, false});
    EXPECT_EQ(marked[0], "   9  A                L      4  1");
    EXPECT_EQ(marked[1], "* 10  IORSH_Long name  \\x0d   0");
    EXPECT_EQ(tolsa::codec::DumpLine(records[1]), "10\tIORSH_Long name\t\\x0d\t0\t\t");
}

}  // namespace
