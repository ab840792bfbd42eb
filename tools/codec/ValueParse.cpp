#include "ValueParse.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <system_error>

namespace tolsa::codec {

namespace {

ParsedValue Refuse(ParseError kind, std::string why) {
    ParsedValue result;
    result.kind = kind;
    result.error = std::move(why);
    return result;
}

template <typename T>
ParsedValue Store(T value) {
    ParsedValue result;
    result.ok = true;
    std::memcpy(result.bytes.data(), &value, sizeof value);
    return result;
}

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

template <typename T>
ParsedValue Integer(std::string_view text) {
    constexpr auto low = static_cast<long long>(std::numeric_limits<T>::min());
    constexpr auto high = static_cast<long long>(std::numeric_limits<T>::max());
    const std::string range = "out of range (" + std::to_string(low) + " to " + std::to_string(high) + ")";
    std::string_view digits = text;
    bool negative = false;
    if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
        negative = digits[0] == '-';
        digits.remove_prefix(1);
    }
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    // from_chars takes no sign of its own here, so "--1" and "0x-1" fail.
    unsigned long long magnitude = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
    if (digits.empty() || digits[0] == '-' || digits[0] == '+' || end != digits.data() + digits.size() ||
        (error != std::errc() && error != std::errc::result_out_of_range))
        return Refuse(ParseError::kSyntax, Quoted(text) + " is not an integer");
    if (error == std::errc::result_out_of_range) return Refuse(ParseError::kRange, Quoted(text) + " is " + range);
    const unsigned long long limit = negative ? static_cast<unsigned long long>(-(low + 1)) + 1
                                              : static_cast<unsigned long long>(high);
    if (magnitude > limit) return Refuse(ParseError::kRange, Quoted(text) + " is " + range);
    const long long value = negative ? (magnitude == 0 ? 0 : -static_cast<long long>(magnitude - 1) - 1)
                                     : static_cast<long long>(magnitude);
    return Store(static_cast<T>(value));
}

ParsedValue Floating(std::string_view text) {
    std::string_view number = text;
    if (!number.empty() && number[0] == '+') number.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (number.empty() || number[0] == '+' || end != number.data() + number.size() ||
        (error != std::errc() && error != std::errc::result_out_of_range))
        return Refuse(ParseError::kSyntax, Quoted(text) + " is not a number");
    if (error == std::errc::result_out_of_range) return Refuse(ParseError::kRange, Quoted(text) + " is out of range for a double");
    return Store(value);
}

ParsedValue Text(std::string_view text) {
    if (text.size() > static_cast<std::size_t>(kStringChars))
        return Refuse(ParseError::kLength, "the text is " + std::to_string(text.size()) + " characters long; at most " +
                      std::to_string(kStringChars) + " fit");
    ParsedValue result;
    result.ok = true;
    std::memcpy(result.bytes.data(), text.data(), text.size());
    return result;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

ParsedValue Bytes(int32_t size, std::string_view text) {
    const std::size_t count = size < 0 ? 0 : size > kValueBytes ? kValueBytes : static_cast<std::size_t>(size);
    const std::string expected = "expected " + std::to_string(count) + " bytes as " +
                                 std::to_string(2 * count) + " hex digits";
    if (text.size() != 2 * count) return Refuse(ParseError::kLength, Quoted(text) + ": " + expected);
    ParsedValue result;
    for (std::size_t i = 0; i < count; ++i) {
        const int high = HexDigit(text[2 * i]), low = HexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) return Refuse(ParseError::kSyntax, Quoted(text) + " is not hex: " + expected);
        result.bytes[i] = static_cast<unsigned char>(high * 16 + low);
    }
    result.ok = true;
    return result;
}

}  // namespace

ParsedValue ParseValue(char type, int32_t size, std::string_view text) {
    switch (type) {
        case '$': return Text(text);
        case 'L': return Integer<int32_t>(text);
        case 'D': return Floating(text);
        case 'B': case 'H': case 'O': return Integer<uint8_t>(text);
        case 'M': case 'W': return Integer<uint16_t>(text);
        default: return Bytes(size, text);
    }
}

}  // namespace tolsa::codec
