// Escaping, JSON, and the rows of list and watch. The values themselves are
// the cases of tests/data/value-cases.tsv (ValueCasesTest.cpp).

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
