// The CSV of record and replay: what record writes reads back field for
// field, files from other programs read, and malformed ones are refused with
// the line they start on.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Csv.h"
#include "IsoTime.h"

namespace {

using tolsa::tool::CsvReader;
using tolsa::tool::CsvRecord;
using tolsa::tool::CsvRow;

struct Read {
    std::vector<CsvRecord> rows;
    std::string error;
};

Read ReadAll(const std::string& text) {
    Read read;
    CsvReader reader(text);
    for (CsvRecord row; reader.Next(row);) read.rows.push_back(row);
    read.error = reader.Error();
    return read;
}

TEST(Csv, WhatIsWrittenReadsBackFieldForField) {
    const std::vector<std::string> fields = {"plain", "", "a,b", "say \"hi\"", "two\nlines", "cr\r\nlf", " pad ", "\"", ","};
    const std::string row = CsvRow(fields);
    EXPECT_EQ(row, "plain,,\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\",\"cr\r\nlf\", pad ,\"\"\"\",\",\"\r\n");
    const Read read = ReadAll(CsvRow({"time", "x"}) + row + row);
    ASSERT_EQ(read.error, "");
    ASSERT_EQ(read.rows.size(), 3u);
    EXPECT_EQ(read.rows[1].fields, fields);
    EXPECT_EQ(read.rows[2].fields, fields);
    // Line ends inside the fields of a row count: it spans lines 2 to 4.
    EXPECT_EQ(read.rows[1].line, 2);
    EXPECT_EQ(read.rows[2].line, 5);
}

TEST(Csv, ReadsWhatOtherProgramsWrite) {
    const struct {
        const char* name;
        std::string text;
        std::vector<std::vector<std::string>> rows;
    } cases[] = {
        {"byte order mark, CR LF", "\xEF\xBB\xBFtime,\"A\"\r\n1,2\r\n", {{"time", "A"}, {"1", "2"}}},
        {"LF, no end of line at the end", "time,A\n1,2", {{"time", "A"}, {"1", "2"}}},
        {"empty lines skipped", "\ntime,A\n\r\n1,2\n\n", {{"time", "A"}, {"1", "2"}}},
        {"empty last field", "time,A\n1,\n", {{"time", "A"}, {"1", ""}}},
        {"comma at the very end", "time,A\n1,", {{"time", "A"}, {"1", ""}}},
        {"a lone CR is data", "a\rb,c\n", {{"a\rb", "c"}}},
        {"nothing", "", {}},
    };
    for (const auto& c : cases) {
        const Read read = ReadAll(c.text);
        EXPECT_EQ(read.error, "") << c.name;
        std::vector<std::vector<std::string>> rows;
        for (const auto& row : read.rows) rows.push_back(row.fields);
        EXPECT_EQ(rows, c.rows) << c.name;
    }
}

TEST(Csv, RefusesMalformedRowsNamingTheLine) {
    const struct {
        std::string text;
        std::size_t rowsBefore;
        const char* error;
    } cases[] = {
        {"time,A\n1,\"open\n2,3\n", 1, "line 2: a quoted field is not closed"},
        {"time,A\n1,ab\"c\n", 1, "line 2: a quote inside a field that does not start with one"},
        {"time,A\n\"x\ny\"z,1\n", 1, "line 3: text after the closing quote of a field"},
        {"\"time\"\r,A\n", 0, "line 1: text after the closing quote of a field"},
    };
    for (const auto& c : cases) {
        const Read read = ReadAll(c.text);
        EXPECT_EQ(read.error, c.error) << c.text;
        EXPECT_EQ(read.rows.size(), c.rowsBefore) << c.text;
    }
}

TEST(IsoTime, WritesMicrosecondsInUtcAndReadsOtherForms) {
    EXPECT_EQ(tolsa::tool::FormatIsoTime(0), "1970-01-01T00:00:00.000000Z");
    const int64_t sample = 1796911200123456;  // 2026-12-10T14:00:00.123456Z
    EXPECT_EQ(tolsa::tool::FormatIsoTime(sample), "2026-12-10T14:00:00.123456Z");
    EXPECT_EQ(tolsa::tool::FormatIsoTime(-1), "1969-12-31T23:59:59.999999Z");
    const struct {
        const char* text;
        int64_t micros;
    } accepted[] = {
        {"2026-12-10T14:00:00.123456Z", sample},
        {"2026-12-10T15:00:00.123456+01:00", sample},
        {"2026-12-10T13:30:00.1234567-00:30", sample},  // cut to microseconds
        {"2026-12-10 14:00:00,123456z", sample},
        {"2026-12-10T14:00:00Z", sample - 123456},
        {"2024-02-29T00:00:00.5Z", 1709164800500000},
    };
    for (const auto& c : accepted) {
        const auto parsed = tolsa::tool::ParseIsoTime(c.text);
        ASSERT_TRUE(parsed.has_value()) << c.text;
        EXPECT_EQ(*parsed, c.micros) << c.text;
    }
    for (const char* refused : {"", "2026-12-10T14:00:00", "2026-12-10T14:00:00.Z", "2026-13-10T14:00:00Z",
                                "2026-02-30T14:00:00Z", "2026-12-10T24:00:00Z", "2026-12-10T14:00:00Zjunk",
                                "2026-12-10T14:00Z", "12/10/2026 14:00:00", "2026-12-10T14:00:00.1234567890Z"}) {
        EXPECT_FALSE(tolsa::tool::ParseIsoTime(refused).has_value()) << refused;
    }
}

}  // namespace
