#include "Payload.h"

#include <algorithm>

#include <pb_decode.h>
#include <pb_encode.h>

#include "sparkplug_b.pb.h"

namespace tolsa::sparkplug {
namespace {

// Encoding -------------------------------------------------------------------

bool AppendToVector(pb_ostream_t* stream, const pb_byte_t* bytes, std::size_t count) {
    auto* out = static_cast<std::vector<unsigned char>*>(stream->state);
    out->insert(out->end(), bytes, bytes + count);
    return true;
}

bool EncodeView(pb_ostream_t* stream, const pb_field_t* field, void* const* arg) {
    const auto* view = static_cast<const std::string_view*>(*arg);
    return pb_encode_tag_for_field(stream, field) &&
           pb_encode_string(stream, reinterpret_cast<const pb_byte_t*>(view->data()), view->size());
}

void SetView(pb_callback_t& callback, const std::string_view& view) {
    callback.funcs.encode = EncodeView;
    callback.arg = const_cast<std::string_view*>(&view);  // only read back by EncodeView
}

void SetValue(const Value& value, tolsa_sparkplug_Metric& metric) {
    switch (value.type) {
        case DataType::Int8:
        case DataType::Int16:
        case DataType::Int32:
        case DataType::UInt8:
        case DataType::UInt16:
            metric.has_int_value = true;
            metric.int_value = static_cast<uint32_t>(value.integer);
            break;
        case DataType::Int64:
        case DataType::UInt32:
        case DataType::UInt64:
        case DataType::DateTime:
            metric.has_long_value = true;
            metric.long_value = value.integer;
            break;
        case DataType::Float:
            metric.has_float_value = true;
            metric.float_value = static_cast<float>(value.real);
            break;
        case DataType::Double:
            metric.has_double_value = true;
            metric.double_value = value.real;
            break;
        case DataType::Boolean:
            metric.has_boolean_value = true;
            metric.boolean_value = value.integer != 0;
            break;
        case DataType::String:
        case DataType::Text:
        case DataType::UUID:
            SetView(metric.string_value, value.bytes);
            break;
        case DataType::Bytes:
        case DataType::File:
            SetView(metric.bytes_value, value.bytes);
            break;
        default:
            metric.has_is_null = true;  // a type this node has no value field for
            metric.is_null = true;
            break;
    }
}

bool EncodeMetrics(pb_ostream_t* stream, const pb_field_t* field, void* const* arg) {
    const auto* metrics = static_cast<const std::span<const OutMetric>*>(*arg);
    for (const OutMetric& out : *metrics) {
        tolsa_sparkplug_Metric metric = tolsa_sparkplug_Metric_init_zero;
        if (!out.name.empty()) SetView(metric.name, out.name);
        metric.has_alias = out.alias.has_value();
        metric.alias = out.alias.value_or(0);
        metric.has_timestamp = out.timestamp.has_value();
        metric.timestamp = out.timestamp.value_or(0);
        metric.has_datatype = out.with_datatype;
        metric.datatype = static_cast<uint32_t>(out.value.type);
        SetValue(out.value, metric);
        if (!pb_encode_tag_for_field(stream, field) ||
            !pb_encode_submessage(stream, tolsa_sparkplug_Metric_fields, &metric))
            return false;
    }
    return true;
}

// Decoding -------------------------------------------------------------------

bool DecodeText(pb_istream_t* stream, const pb_field_t*, void** arg) {
    auto* target = static_cast<std::optional<Text>*>(*arg);
    Text text;
    text.length = stream->bytes_left;
    const std::size_t kept = std::min(text.length, kKeptBytes);
    text.kept.resize(kept);
    if (!pb_read(stream, reinterpret_cast<pb_byte_t*>(text.kept.data()), kept)) return false;
    if (!pb_read(stream, nullptr, text.length - kept)) return false;  // the rest is skipped
    *target = std::move(text);
    return true;
}

void SetText(pb_callback_t& callback, std::optional<Text>& target) {
    callback.funcs.decode = DecodeText;
    callback.arg = &target;
}

template <typename T>
std::optional<T> If(bool present, T value) {
    return present ? std::optional<T>(value) : std::nullopt;
}

bool DecodeMetric(pb_istream_t* stream, const pb_field_t*, void** arg) {
    auto* metrics = static_cast<std::vector<InMetric>*>(*arg);
    InMetric& in = metrics->emplace_back();
    tolsa_sparkplug_Metric metric = tolsa_sparkplug_Metric_init_zero;
    SetText(metric.name, in.name);
    SetText(metric.string_value, in.string_value);
    SetText(metric.bytes_value, in.bytes_value);
    if (!pb_decode(stream, tolsa_sparkplug_Metric_fields, &metric)) return false;
    in.alias = If(metric.has_alias, metric.alias);
    in.timestamp = If(metric.has_timestamp, metric.timestamp);
    in.datatype = If(metric.has_datatype, metric.datatype);
    in.is_null = metric.has_is_null && metric.is_null;
    in.int_value = If(metric.has_int_value, metric.int_value);
    in.long_value = If(metric.has_long_value, metric.long_value);
    in.float_value = If(metric.has_float_value, metric.float_value);
    in.double_value = If(metric.has_double_value, metric.double_value);
    in.boolean_value = If(metric.has_boolean_value, metric.boolean_value);
    return true;
}

}  // namespace

bool Encode(const OutPayload& payload, std::vector<unsigned char>& out) {
    const std::size_t start = out.size();
    tolsa_sparkplug_Payload message = tolsa_sparkplug_Payload_init_zero;
    message.has_timestamp = true;
    message.timestamp = payload.timestamp;
    message.has_seq = payload.seq.has_value();
    message.seq = payload.seq.value_or(0);
    message.metrics.funcs.encode = EncodeMetrics;
    message.metrics.arg = const_cast<std::span<const OutMetric>*>(&payload.metrics);
    pb_ostream_t stream{AppendToVector, &out, SIZE_MAX, 0, nullptr};
    if (pb_encode(&stream, tolsa_sparkplug_Payload_fields, &message)) return true;
    out.resize(start);
    return false;
}

bool Decode(const unsigned char* data, std::size_t size, InPayload& payload, std::string& error) {
    payload = InPayload{};
    tolsa_sparkplug_Payload message = tolsa_sparkplug_Payload_init_zero;
    message.metrics.funcs.decode = DecodeMetric;
    message.metrics.arg = &payload.metrics;
    pb_istream_t stream = pb_istream_from_buffer(data, size);
    if (!pb_decode(&stream, tolsa_sparkplug_Payload_fields, &message)) {
        error = PB_GET_ERROR(&stream);
        payload = InPayload{};
        return false;
    }
    payload.timestamp = If(message.has_timestamp, message.timestamp);
    payload.seq = If(message.has_seq, message.seq);
    return true;
}

}  // namespace tolsa::sparkplug
