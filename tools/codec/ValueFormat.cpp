#include "ValueFormat.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace tolsa::codec {

namespace {

template <typename T>
T Load(const Record& record) {
    T value;
    std::memcpy(&value, record.value.data(), sizeof value);
    return value;
}

std::string Text(const Record& record) {
    const auto* begin = reinterpret_cast<const char*>(record.value.data());
    const void* end = std::memchr(begin, '\0', record.value.size());
    return std::string(begin, end ? static_cast<const char*>(end) : begin + record.value.size());
}

std::string Double(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string Padded(std::string text, std::size_t width, bool right) {
    if (text.size() >= width) return text;
    const std::string fill(width - text.size(), ' ');
    return right ? fill + text : text + fill;
}

// Length of the UTF-8 sequence at text[at], or 0 when it is not valid there.
std::size_t Utf8Length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    uint32_t minimum = 0, code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) { length = 2; code = lead & 0x1F; minimum = 0x80; }
    else if (lead >= 0xE0 && lead <= 0xEF) { length = 3; code = lead & 0x0F; minimum = 0x800; }
    else if (lead >= 0xF0 && lead <= 0xF4) { length = 4; code = lead & 0x07; minimum = 0x10000; }
    else return 0;
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

std::string Hex(const unsigned char* bytes, std::size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

std::string RawHex(const Record& record) {
    return Hex(record.value.data(), static_cast<std::size_t>(ValueBytes(record)));
}

std::string DecodeValue(const Record& record) {
    switch (record.type) {
        case '$': return Text(record);
        case 'L': return std::to_string(Load<int32_t>(record));
        case 'D': return Double(Load<double>(record));
        case 'B': case 'H': case 'O': return std::to_string(Load<uint8_t>(record));
        case 'M': case 'W': return std::to_string(Load<uint16_t>(record));
        default: return RawHex(record);
    }
}

std::string Printable(std::string_view text) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += digits[byte >> 4];
            out += digits[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::string JsonString(std::string_view text) {
    static const char digits[] = "0123456789abcdef";
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += text[i++];
        } else if (byte >= 0x20 && byte < 0x80) {
            out += text[i++];
        } else if (const std::size_t length = byte >= 0x80 ? Utf8Length(text, i) : 0; length > 0) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += "\\u00";
            out += digits[byte >> 4];
            out += digits[byte & 15];
            ++i;
        }
    }
    return out + "\"";
}

std::string JsonValue(const Record& record) {
    switch (record.type) {
        case 'L': case 'B': case 'H': case 'O': case 'M': case 'W':
            return DecodeValue(record);
        case 'D':
            // JSON has no infinities or NaN: those go as their text.
            return std::isfinite(Load<double>(record)) ? DecodeValue(record) : JsonString(DecodeValue(record));
        default:
            return JsonString(DecodeValue(record));
    }
}

std::string JsonObject(const Record& record) {
    const std::string value = JsonValue(record);
    return "{\"index\": " + std::to_string(record.index) + ", \"name\": " + JsonString(record.name) +
           ", \"type\": " + JsonString(std::string_view(&record.type, 1)) + ", \"size\": " +
           std::to_string(record.size) + ", \"value\": " + value + ", \"raw\": \"" + RawHex(record) + "\"}";
}

std::vector<std::string> FormatRows(const std::vector<Record>& records, const std::vector<bool>& marks) {
    std::size_t indexWidth = 1, nameWidth = 1, typeWidth = 1, sizeWidth = 1;
    for (const auto& record : records) {
        typeWidth = std::max(typeWidth, Printable(std::string_view(&record.type, 1)).size());
        indexWidth = std::max(indexWidth, std::to_string(record.index).size());
        nameWidth = std::max(nameWidth, Printable(record.name).size());
        sizeWidth = std::max(sizeWidth, std::to_string(record.size).size());
    }
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& record = records[i];
        std::string row;
        if (!marks.empty()) row = i < marks.size() && marks[i] ? "* " : "  ";
        row += Padded(std::to_string(record.index), indexWidth, true) + "  " +
               Padded(Printable(record.name), nameWidth, false) + "  " +
               Padded(Printable(std::string_view(&record.type, 1)), typeWidth, false) + "  " +
               Padded(std::to_string(record.size), sizeWidth, true) + "  " + Printable(DecodeValue(record));
        while (!row.empty() && row.back() == ' ') row.pop_back();
        rows.push_back(row);
    }
    return rows;
}

std::string DumpLine(const Record& record) {
    return std::to_string(record.index) + "\t" + Printable(record.name) + "\t" +
           Printable(std::string_view(&record.type, 1)) + "\t" + std::to_string(record.size) + "\t" +
           Printable(DecodeValue(record)) + "\t" + RawHex(record);
}

}  // namespace tolsa::codec
