// Parsing `tolsa set` values: the bytes each letter gets, and every refusal.

#include <gtest/gtest.h>

#include <string>

#include "ValueParse.h"

namespace {

using tolsa::codec::ParseValue;

std::string Bytes(const tolsa::codec::ParsedValue& value, std::size_t count) {
    return std::string(reinterpret_cast<const char*>(value.bytes.data()), count);
}

TEST(ValueParse, AcceptsEveryLimitOfEachWidth) {
    const struct {
        char type;
        const char* text;
        std::string bytes;
    } cases[] = {
        {'L', "-2147483648", std::string("\x00\x00\x00\x80", 4)},
        {'L', "2147483647", "\xff\xff\xff\x7f"},
        {'L', "-0", std::string(4, '\0')},
        {'L', "+0x10", std::string("\x10\x00\x00\x00", 4)},
        {'L', "-0x80000000", std::string("\x00\x00\x00\x80", 4)},
        {'B', "255", "\xff"}, {'H', "0", std::string(1, '\0')}, {'O', "0x7F", "\x7f"},
        {'M', "65535", "\xff\xff"}, {'W', "258", "\x02\x01"},
        {'D', "0.1", std::string("\x9a\x99\x99\x99\x99\x99\xb9\x3f", 8)},
        {'D', "-inf", std::string("\x00\x00\x00\x00\x00\x00\xf0\xff", 8)},
        {'D', "+2", std::string("\x00\x00\x00\x00\x00\x00\x00\x40", 8)},
        {'$', "", std::string(64, '\0')},
        {'$', "caf\xc3\xa9", std::string("caf\xc3\xa9") + std::string(59, '\0')},
    };
    for (const auto& c : cases) {
        const auto value = ParseValue(c.type, 0, c.text);
        ASSERT_TRUE(value.ok) << c.type << " " << c.text << ": " << value.error;
        EXPECT_EQ(Bytes(value, c.bytes.size()), c.bytes) << c.type << " " << c.text;
        // Behind the value the source is zero, so a wider copy adds nothing.
        EXPECT_EQ(Bytes(value, 64).substr(c.bytes.size()), std::string(64 - c.bytes.size(), '\0'));
    }
    const auto longest = ParseValue('$', 63, std::string(63, 'a'));
    ASSERT_TRUE(longest.ok);
    EXPECT_EQ(Bytes(longest, 64), std::string(63, 'a') + std::string(1, '\0'));
}

TEST(ValueParse, RefusesWhatDoesNotParseOrFit) {
    const struct {
        char type;
        int size;
        std::string text;
        const char* error;
    } cases[] = {
        {'L', 4, "2147483648", "'2147483648' is out of range (-2147483648 to 2147483647)"},
        {'L', 4, "-2147483649", "'-2147483649' is out of range (-2147483648 to 2147483647)"},
        {'L', 4, "99999999999999999999999", "'99999999999999999999999' is out of range (-2147483648 to 2147483647)"},
        {'L', 4, " 1", "' 1' is not an integer"},
        {'L', 4, "1 ", "'1 ' is not an integer"},
        {'L', 4, "--1", "'--1' is not an integer"},
        {'L', 4, "0x", "'0x' is not an integer"},
        {'L', 4, "0x-1", "'0x-1' is not an integer"},
        {'L', 4, "1e3", "'1e3' is not an integer"},
        {'B', 1, "256", "'256' is out of range (0 to 255)"},
        {'O', 1, "-1", "'-1' is out of range (0 to 255)"},
        {'W', 2, "65536", "'65536' is out of range (0 to 65535)"},
        {'D', 8, "1e400", "'1e400' is out of range for a double"},
        {'D', 8, "", "'' is not a number"},
        {'D', 8, "1,5", "'1,5' is not a number"},
        {'D', 8, "++1", "'++1' is not a number"},
        {'$', 63, std::string(64, 'a'), "the text is 64 characters long; at most 63 fit"},
        {'X', 0, "00", "'00': expected 0 bytes as 0 hex digits"},
        {'?', 2, "abc", "'abc': expected 2 bytes as 4 hex digits"},
        {'?', 2, "abcg", "'abcg' is not hex: expected 2 bytes as 4 hex digits"},
    };
    for (const auto& c : cases) {
        const auto value = ParseValue(c.type, c.size, c.text);
        EXPECT_FALSE(value.ok) << c.type << " " << c.text;
        EXPECT_EQ(value.error, c.error);
    }
}

TEST(ValueParse, OtherLettersTakeTheirSizeInHex) {
    const auto value = ParseValue('?', 3, "0aFf10");
    ASSERT_TRUE(value.ok) << value.error;
    EXPECT_EQ(Bytes(value, 4), std::string("\x0a\xff\x10\x00", 4));
    EXPECT_TRUE(ParseValue('\n', 0, "").ok);
}

}  // namespace
