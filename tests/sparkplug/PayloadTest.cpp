// The payload encoder and decoder against bytes made by protoc from the same
// .proto (an independent encoder): one metric per value of every type letter,
// and command metrics that must be written or refused.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "Metrics.h"
#include "Payload.h"
#include "store/VariableRecord.h"

namespace tolsa::sparkplug {
namespace {

std::string Hex(const std::vector<unsigned char>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) { out += digits[b >> 4]; out += digits[b & 15]; }
    return out;
}

std::vector<unsigned char> Bytes(const std::string& hex) {
    std::vector<unsigned char> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string Repeat(const std::string& text, int count) {
    std::string out;
    while (count-- > 0) out += text;
    return out;
}

template <typename T>
codec::Record RecordOf(char letter, T value) {
    codec::Record record;
    record.index = 1;
    record.name = "v";
    record.type = letter;
    record.size = TypeCodeSize(letter);
    if constexpr (std::is_same_v<T, const char*>) std::memcpy(record.value.data(), value, std::strlen(value) + 1);  // at most 64 with its NUL
    else std::memcpy(record.value.data(), &value, sizeof value);
    return record;
}

// A payload of timestamp 1 and one metric, as protoc writes it.
std::string PayloadHex(const std::string& metric_hex) {
    const std::size_t length = metric_hex.size() / 2;
    std::string out = "0801" "12";
    if (length < 128) out += Hex({static_cast<unsigned char>(length)});
    else out += Hex({static_cast<unsigned char>(0x80 | (length & 0x7F)), static_cast<unsigned char>(length >> 7)});
    return out + metric_hex;
}

struct BirthCase {
    const char* what;
    codec::Record record;
    std::string metric;  // name "v", alias 1, datatype and value, from protoc
};

const std::string k63 = Repeat("x", 63);

std::vector<BirthCase> BirthCases() {
    return {
        {"L zero", RecordOf('L', int32_t{0}), "0a0176100120035000"},
        {"L -1", RecordOf('L', int32_t{-1}), "0a01761001200350ffffffff0f"},
        {"L lowest", RecordOf('L', std::numeric_limits<int32_t>::min()), "0a017610012003508080808008"},
        {"L highest", RecordOf('L', std::numeric_limits<int32_t>::max()), "0a01761001200350ffffffff07"},
        {"D -2.5", RecordOf('D', -2.5), "0a01761001200a6900000000000004c0"},
        {"D -0.0", RecordOf('D', -0.0), "0a01761001200a690000000000000080"},
        {"D -inf", RecordOf('D', -std::numeric_limits<double>::infinity()), "0a01761001200a69000000000000f0ff"},
        {"$ empty", RecordOf('$', ""), "0a01761001200c7a00"},
        {"$ UTF-8", RecordOf('$', "Gr\xc3\xbcn 7"), "0a01761001200c7a074772c3bc6e2037"},
        {"$ 63 bytes", RecordOf('$', k63.c_str()), "0a01761001200c7a3f" + Repeat("78", 63)},
        {"B 255", RecordOf('B', uint8_t{255}), "0a01761001200550ff01"},
        {"H 0", RecordOf('H', uint8_t{0}), "0a0176100120055000"},
        {"O 128", RecordOf('O', uint8_t{128}), "0a017610012005508001"},
        {"M 65535", RecordOf('M', uint16_t{65535}), "0a01761001200650ffff03"},
        {"W 1", RecordOf('W', uint16_t{1}), "0a0176100120065001"},
        {"X: Bytes of size 0", RecordOf('X', uint8_t{0x5a}), "0a017610012011820100"},
        {"NUL letter: Bytes", RecordOf('\0', uint8_t{0x5a}), "0a017610012011820100"},
    };
}

TEST(SparkplugPayload, EveryLetterEncodesAsProtocDoesAndReadsBackToTheSameBytes) {
    for (const BirthCase& c : BirthCases()) {
        SCOPED_TRACE(c.what);
        OutMetric metric;
        metric.name = c.record.name;
        metric.alias = 1;
        metric.value = ValueOf(c.record);
        std::vector<unsigned char> encoded;
        ASSERT_TRUE(Encode(OutPayload{1, std::nullopt, std::span<const OutMetric>(&metric, 1)}, encoded));
        EXPECT_EQ(Hex(encoded), PayloadHex(c.metric));

        InPayload decoded;
        std::string error;
        ASSERT_TRUE(Decode(encoded.data(), encoded.size(), decoded, error)) << error;
        ASSERT_EQ(decoded.metrics.size(), 1u);
        const WriteValue back = WriteValueOf(c.record, decoded.metrics[0]);
        ASSERT_TRUE(back.ok) << back.error;
        const int compared = c.record.type == '$' ? 64 : codec::ValueBytes(c.record);
        EXPECT_EQ(0, std::memcmp(back.bytes.data(), c.record.value.data(), static_cast<std::size_t>(compared)));
    }
}

TEST(SparkplugPayload, DataMetricsGoByAliasWithoutNameOrDatatype) {
    OutMetric metric;
    metric.alias = 1;
    metric.timestamp = 2;
    metric.with_datatype = false;
    metric.value = ValueOf(RecordOf('L', int32_t{-5}));
    std::vector<unsigned char> encoded;
    ASSERT_TRUE(Encode(OutPayload{1, 7, std::span<const OutMetric>(&metric, 1)}, encoded));
    // protoc: timestamp: 1 metrics { alias: 1 timestamp: 2 int_value: 4294967291 } seq: 7
    EXPECT_EQ(Hex(encoded), "0801120a1001180250fbffffff0f1807");
}

struct WriteCase {
    const char* what;
    char letter;
    std::string metric;    // the command's metric, from protoc
    std::string expected;  // the value bytes written (hex), or "refused: <part of the reason>"
};

std::vector<WriteCase> WriteCases() {
    return {
        {"Int32 by alias, negative", 'L', "100150fbffffff0f", "fbffffff"},
        {"Int32 with its datatype", 'L', "1001200350fbffffff0f", "fbffffff"},
        {"Double, negative", 'D', "0a0176200a699c7500883ce437fe", "9c7500883ce437fe"},
        {"Double value for an Int32", 'L', "0a0176200369000000000000f83f", "refused: no Int32 value"},
        {"Int32 datatype for a Double", 'D', "0a0176200369000000000000f83f", "refused: datatype Int32, the variable is Double"},
        {"UInt8 256", 'B', "0a01762005508002", "refused: 256 is over 255"},
        {"UInt16 65536", 'M', "0a0176200650808004", "refused: 65536 is over 65535"},
        {"UInt16 65535", 'W', "0a01761001200650ffff03", "ffff"},
        {"String of 63 bytes", '$', "0a0176200c7a3f" + Repeat("78", 63), Repeat("78", 63) + "00"},
        {"String of 64 bytes", '$', "0a0176200c7a40" + Repeat("79", 64), "refused: a string of 64 bytes, over 63"},
        {"String with NUL", '$', "0a0176200c7a03610062", "refused: a string with a NUL byte"},
        {"null", '$', "0a0176200c3801", "refused: a null value"},
        {"no value", 'B', "0a01762005", "refused: no UInt8 value"},
        {"Int32 in long_value", 'L', "0a017620035805", "refused: no Int32 value"},
        {"unknown datatype", 'L', "0a017620635005", "refused: datatype not a datatype, the variable is Int32"},
        {"Bytes of the size", 'X', "0a01762011820100", ""},
        {"Bytes over the size", 'X', "0a0176201182010101", "refused: 1 bytes, the variable holds 0"},
    };
}

TEST(SparkplugPayload, CommandMetricsAreWrittenOnlyWithTheVariablesTypeAndRange) {
    for (const WriteCase& c : WriteCases()) {
        SCOPED_TRACE(c.what);
        const std::vector<unsigned char> bytes = Bytes(PayloadHex(c.metric));
        InPayload decoded;
        std::string error;
        ASSERT_TRUE(Decode(bytes.data(), bytes.size(), decoded, error)) << error;
        ASSERT_EQ(decoded.metrics.size(), 1u);
        codec::Record record = RecordOf(c.letter, uint64_t{0});
        const WriteValue value = WriteValueOf(record, decoded.metrics[0]);
        if (c.expected.rfind("refused: ", 0) == 0) {
            EXPECT_FALSE(value.ok);
            EXPECT_EQ(value.error, c.expected.substr(9));
        } else {
            ASSERT_TRUE(value.ok) << value.error;
            const std::vector<unsigned char> written(value.bytes.begin(), value.bytes.begin() + static_cast<long>(c.expected.size() / 2));
            EXPECT_EQ(Hex(written), c.expected);
            for (std::size_t i = c.expected.size() / 2; i < value.bytes.size(); ++i) ASSERT_EQ(value.bytes[i], 0) << i;
        }
    }
}

TEST(SparkplugPayload, BadBytesAreRefusedAndLongTextsKeepTheirLength) {
    const std::vector<std::string> bad = {"12", "1205", "0a", "12030a0576", "ff"};
    for (const std::string& hex : bad) {
        const std::vector<unsigned char> bytes = Bytes(hex);
        InPayload decoded;
        std::string error;
        EXPECT_FALSE(Decode(bytes.data(), bytes.size(), decoded, error)) << hex;
        EXPECT_FALSE(error.empty()) << hex;
        EXPECT_TRUE(decoded.metrics.empty()) << hex;
    }
    // A name of 300 bytes: kept up to 256, its length known.
    const std::string metric = "0aac02" + Repeat("6e", 300);
    const std::vector<unsigned char> bytes = Bytes(PayloadHex(metric));
    InPayload decoded;
    std::string error;
    ASSERT_TRUE(Decode(bytes.data(), bytes.size(), decoded, error)) << error;
    ASSERT_EQ(decoded.metrics.size(), 1u);
    ASSERT_TRUE(decoded.metrics[0].name);
    EXPECT_EQ(decoded.metrics[0].name->length, 300u);
    EXPECT_EQ(decoded.metrics[0].name->kept, std::string(kKeptBytes, 'n'));
}

}  // namespace
}  // namespace tolsa::sparkplug
