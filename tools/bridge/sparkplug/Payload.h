#pragma once
// Sparkplug B payloads as this edge node writes and reads them, in and out of
// protobuf (nanopb). The encoder reads names, texts and bytes where they lie;
// the decoder keeps bounded copies and the real lengths, so a caller can
// refuse one oversized metric and still act on the others.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tolsa::sparkplug {

// Metric.datatype numbers.
enum class DataType : uint32_t {
    Unknown = 0, Int8 = 1, Int16 = 2, Int32 = 3, Int64 = 4, UInt8 = 5, UInt16 = 6, UInt32 = 7,
    UInt64 = 8, Float = 9, Double = 10, Boolean = 11, String = 12, DateTime = 13, Text = 14,
    UUID = 15, DataSet = 16, Bytes = 17, File = 18, Template = 19,
};

// The value of one metric, in the field its datatype uses: `integer` for the
// Int and UInt types and Boolean (Int32 as its two's complement), `real` for
// Double, `bytes` for String and Bytes.
struct Value {
    DataType type = DataType::Unknown;
    uint64_t integer = 0;
    double real = 0;
    std::string_view bytes;
};

struct OutMetric {
    std::string_view name;  // empty: sent by alias alone
    std::optional<uint64_t> alias;
    std::optional<uint64_t> timestamp;
    bool with_datatype = true;  // births name the datatype; data messages need not
    Value value;
};

struct OutPayload {
    uint64_t timestamp = 0;
    std::optional<uint64_t> seq;  // none in a death certificate
    std::span<const OutMetric> metrics;
};

// Appends nothing and returns false only if nanopb refuses (a bug, not input).
bool Encode(const OutPayload& payload, std::vector<unsigned char>& out);

// At most this many bytes of a decoded name or text are kept; their real
// length is kept too.
inline constexpr std::size_t kKeptBytes = 256;

struct Text {
    std::string kept;        // the first kKeptBytes bytes at most
    std::size_t length = 0;  // the length on the wire
};

struct InMetric {
    std::optional<Text> name;
    std::optional<uint64_t> alias;
    std::optional<uint64_t> timestamp;
    std::optional<uint32_t> datatype;
    bool is_null = false;
    // Every value field that was present; a well-formed metric has one.
    std::optional<uint32_t> int_value;
    std::optional<uint64_t> long_value;
    std::optional<float> float_value;
    std::optional<double> double_value;
    std::optional<bool> boolean_value;
    std::optional<Text> string_value;
    std::optional<Text> bytes_value;
};

struct InPayload {
    std::optional<uint64_t> timestamp;
    std::optional<uint64_t> seq;
    std::vector<InMetric> metrics;
};

// False, with the reason, for bytes that are not a Sparkplug B payload.
bool Decode(const unsigned char* data, std::size_t size, InPayload& payload, std::string& error);

}  // namespace tolsa::sparkplug
