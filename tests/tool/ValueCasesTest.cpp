// The value cases of tests/data/value-cases.tsv, which the Python package's
// tests read too: each input parsed for its letter into the bytes listed (or
// refused with the kind and text listed), and each value formatted as listed.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ValueFormat.h"
#include "ValueParse.h"

#ifndef TOLSA_VALUE_CASES_FILE
#error "TOLSA_VALUE_CASES_FILE comes from the build"
#endif

namespace {

using namespace tolsa::codec;

struct ValueCase {
    int line = 0;
    char letter = 0;
    int size = 0;
    bool hasInput = false;
    std::string input, bytes, text, message;
};

// \t \n \\ and \xNN, as the file's header defines them for input and letter.
std::string Unescape(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 >= field.size()) {
            out.push_back(field[i]);
            continue;
        }
        const char next = field[++i];
        if (next == 't') out.push_back('\t');
        else if (next == 'n') out.push_back('\n');
        else if (next == 'x' && i + 2 < field.size()) {
            out.push_back(static_cast<char>(std::stoi(field.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else out.push_back(next);
    }
    return out;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
    if (!line.empty() && line.back() == '\t') fields.emplace_back();
    return fields;
}

std::string FromHex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::vector<ValueCase> LoadCases() {
    std::ifstream in(TOLSA_VALUE_CASES_FILE, std::ios::binary);
    EXPECT_TRUE(in.good()) << TOLSA_VALUE_CASES_FILE;
    std::vector<ValueCase> cases;
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const auto fields = Fields(line);
        EXPECT_TRUE(fields.size() == 5 || fields.size() == 6) << "line " << number << ": " << fields.size() << " fields";
        if (fields.size() < 5) continue;
        ValueCase c;
        c.line = number;
        const std::string letter = Unescape(fields[0]);
        EXPECT_EQ(letter.size(), 1u) << "line " << number;
        c.letter = letter.empty() ? 0 : letter[0];
        c.size = std::stoi(fields[1]);
        c.hasInput = fields[2] != "-";
        c.input = Unescape(fields[2]);
        c.bytes = fields[3];
        c.text = fields[4];  // as it is: the text column has no escapes
        if (fields.size() == 6) c.message = fields[5];
        cases.push_back(c);
    }
    return cases;
}

const std::vector<ValueCase>& Cases() {
    static const std::vector<ValueCase> cases = LoadCases();
    return cases;
}

const char* KindName(ParseError kind) {
    switch (kind) {
        case ParseError::kSyntax: return "error:syntax";
        case ParseError::kRange: return "error:range";
        case ParseError::kLength: return "error:length";
        case ParseError::kNone: break;
    }
    return "none";
}

Record WithValue(char letter, int size, const std::string& bytes) {
    Record record;
    record.name = "N";
    record.type = letter;
    record.size = size;
    std::copy(bytes.begin(), bytes.end(), record.value.begin());
    return record;
}

TEST(ValueCases, TheFileHoldsEveryKindOfCase) {
    int parsed = 0, refused = 0, formatted = 0;
    for (const auto& c : Cases()) {
        if (!c.hasInput) ++formatted;
        else if (c.bytes.rfind("error:", 0) == 0) ++refused;
        else ++parsed;
    }
    EXPECT_GE(parsed, 10);
    EXPECT_GE(refused, 10);
    EXPECT_GE(formatted, 10);
}

TEST(ValueCases, InputsParseToTheirBytesOrAreRefused) {
    for (const auto& c : Cases()) {
        if (!c.hasInput) continue;
        SCOPED_TRACE("value-cases.tsv line " + std::to_string(c.line));
        const ParsedValue value = ParseValue(c.letter, c.size, c.input);
        const std::string stored(reinterpret_cast<const char*>(value.bytes.data()), value.bytes.size());
        if (c.bytes.rfind("error:", 0) == 0) {
            EXPECT_FALSE(value.ok);
            EXPECT_EQ(KindName(value.kind), c.bytes);
            if (!c.message.empty()) {
                EXPECT_EQ(value.error, c.message);
            }
            continue;
        }
        ASSERT_TRUE(value.ok) << value.error;
        const std::string expected = FromHex(c.bytes);
        EXPECT_EQ(stored.substr(0, expected.size()), expected);
        // Behind the value the source is zero, so a wider copy adds nothing.
        EXPECT_EQ(stored.substr(expected.size()), std::string(stored.size() - expected.size(), '\0'));
        // And what get prints for those bytes.
        EXPECT_EQ(DecodeValue(WithValue(c.letter, c.size, expected)), c.text);
    }
}

TEST(ValueCases, ValuesFormatByTheirLetter) {
    for (const auto& c : Cases()) {
        if (c.hasInput) continue;
        SCOPED_TRACE("value-cases.tsv line " + std::to_string(c.line));
        const Record record = WithValue(c.letter, c.size, FromHex(c.bytes));
        EXPECT_EQ(DecodeValue(record), c.text);
        // The raw form is the first size bytes of the field, never more than the field.
        const std::size_t shown = static_cast<std::size_t>(std::clamp(c.size, 0, kValueBytes));
        EXPECT_EQ(RawHex(record), Hex(record.value.data(), shown));
    }
}

}  // namespace
