#include "Csv.h"

namespace tolsa::tool {

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string CsvRow(const std::vector<std::string>& fields) {
    std::string row;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) row += ',';
        row += CsvField(fields[i]);
    }
    return row + "\r\n";
}

CsvReader::CsvReader(std::string_view text) : text_(text) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") text_.remove_prefix(3);
}

bool CsvReader::Fail(int line, const std::string& what) {
    error_ = "line " + std::to_string(line) + ": " + what;
    at_ = text_.size();
    return false;
}

// LF, or CR LF; a lone CR is data.
bool CsvReader::LineEndAt(std::size_t at) const {
    return at < text_.size() && (text_[at] == '\n' || (text_[at] == '\r' && at + 1 < text_.size() && text_[at + 1] == '\n'));
}

bool CsvReader::Next(CsvRecord& record) {
    while (LineEndAt(at_)) {  // empty lines
        at_ += text_[at_] == '\r' ? 2 : 1;
        ++line_;
    }
    if (at_ >= text_.size()) return false;
    record.line = line_;
    record.fields.clear();
    for (;;) {
        std::string field;
        if (text_[at_] == '"') {
            const int opened = line_;
            ++at_;
            for (;;) {
                if (at_ >= text_.size()) return Fail(opened, "a quoted field is not closed");
                const char c = text_[at_++];
                if (c == '"') {
                    if (at_ < text_.size() && text_[at_] == '"') {
                        field += '"';
                        ++at_;
                        continue;
                    }
                    break;
                }
                if (c == '\n') ++line_;
                field += c;
            }
            if (at_ < text_.size() && text_[at_] != ',' && !LineEndAt(at_))
                return Fail(line_, "text after the closing quote of a field");
        } else {
            while (at_ < text_.size() && text_[at_] != ',' && !LineEndAt(at_)) {
                if (text_[at_] == '"') return Fail(line_, "a quote inside a field that does not start with one");
                field += text_[at_++];
            }
        }
        record.fields.push_back(std::move(field));
        if (at_ >= text_.size() || text_[at_] != ',') break;  // a line end or the end of the text
        ++at_;
        if (at_ >= text_.size()) {  // a comma at the very end: one more empty field
            record.fields.emplace_back();
            break;
        }
    }
    if (at_ < text_.size()) {
        at_ += text_[at_] == '\r' ? 2 : 1;
        ++line_;
    }
    return true;
}

}  // namespace tolsa::tool
