#pragma once
// CSV as RFC 4180 has it, for record and replay: fields quoted when they hold
// a comma, a quote or a line end, quotes doubled inside. The reader also takes
// what other programs write: LF or CR LF line ends, a UTF-8 byte order mark,
// and empty lines, which it skips.

#include <string>
#include <string_view>
#include <vector>

namespace tolsa::tool {

// One field as it goes into a file.
std::string CsvField(std::string_view text);
// A whole row, fields joined by commas, ended by CR LF as RFC 4180 writes it.
std::string CsvRow(const std::vector<std::string>& fields);

struct CsvRecord {
    int line = 0;  // the line of the file on which the row starts, from 1
    std::vector<std::string> fields;
};

// Reads rows one at a time, so that a file can be checked in one pass and
// played in another without holding its rows. Stops at the first malformed
// row: an unclosed quote, a quote inside an unquoted field, or text after a
// closing quote.
class CsvReader {
public:
    explicit CsvReader(std::string_view text);
    // The next row; false at the end of the text or at a malformed row.
    bool Next(CsvRecord& record);
    // "line N: what is wrong" after a malformed row; empty otherwise.
    const std::string& Error() const { return error_; }

private:
    bool Fail(int line, const std::string& what);
    bool LineEndAt(std::size_t at) const;

    std::string_view text_;
    std::size_t at_ = 0;
    int line_ = 1;
    std::string error_;
};

}  // namespace tolsa::tool
