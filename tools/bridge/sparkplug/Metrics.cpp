#include "Metrics.h"

#include <cstring>

namespace tolsa::sparkplug {
namespace {

template <typename T>
T Load(const codec::Record& record) {
    T value;
    std::memcpy(&value, record.value.data(), sizeof value);  // native byte order, as the library stores it
    return value;
}

template <typename T>
void Store(WriteValue& out, T value) {
    std::memcpy(out.bytes.data(), &value, sizeof value);
    out.ok = true;
}

WriteValue Refuse(std::string error) {
    WriteValue out;
    out.error = std::move(error);
    return out;
}

}  // namespace

DataType DataTypeOf(char letter) {
    switch (letter) {
        case 'L': return DataType::Int32;
        case 'D': return DataType::Double;
        case '$': return DataType::String;
        case 'B': case 'H': case 'O': return DataType::UInt8;
        case 'M': case 'W': return DataType::UInt16;
        default: return DataType::Bytes;
    }
}

const char* DataTypeName(DataType type) {
    static const char* const names[] = {
        "Unknown", "Int8", "Int16", "Int32", "Int64", "UInt8", "UInt16", "UInt32", "UInt64", "Float",
        "Double", "Boolean", "String", "DateTime", "Text", "UUID", "DataSet", "Bytes", "File", "Template"};
    const auto number = static_cast<uint32_t>(type);
    return number < std::size(names) ? names[number] : "not a datatype";
}

Value ValueOf(const codec::Record& record) {
    Value value;
    value.type = DataTypeOf(record.type);
    switch (value.type) {
        case DataType::Int32: value.integer = Load<uint32_t>(record); break;
        case DataType::Double: value.real = Load<double>(record); break;
        case DataType::UInt8: value.integer = Load<uint8_t>(record); break;
        case DataType::UInt16: value.integer = Load<uint16_t>(record); break;
        case DataType::String: {
            const char* text = reinterpret_cast<const char*>(record.value.data());
            value.bytes = std::string_view(text, strnlen(text, record.value.size()));
            break;
        }
        default:
            value.bytes = std::string_view(reinterpret_cast<const char*>(record.value.data()),
                                           static_cast<std::size_t>(codec::ValueBytes(record)));
            break;
    }
    return value;
}

WriteValue WriteValueOf(const codec::Record& record, const InMetric& metric) {
    const DataType type = DataTypeOf(record.type);
    if (metric.datatype && *metric.datatype != static_cast<uint32_t>(type))
        return Refuse(std::string("datatype ") + DataTypeName(static_cast<DataType>(*metric.datatype)) +
                      ", the variable is " + DataTypeName(type));
    if (metric.is_null) return Refuse("a null value");
    auto missing = [&] { return Refuse(std::string("no ") + DataTypeName(type) + " value"); };
    switch (type) {
        case DataType::Int32:
            if (!metric.int_value) return missing();
            { WriteValue out; Store(out, static_cast<int32_t>(*metric.int_value)); return out; }
        case DataType::UInt8:
        case DataType::UInt16: {
            if (!metric.int_value) return missing();
            const uint32_t limit = type == DataType::UInt8 ? 0xFF : 0xFFFF;
            if (*metric.int_value > limit)
                return Refuse(std::to_string(*metric.int_value) + " is over " + std::to_string(limit));
            WriteValue out;
            if (type == DataType::UInt8) Store(out, static_cast<uint8_t>(*metric.int_value));
            else Store(out, static_cast<uint16_t>(*metric.int_value));
            return out;
        }
        case DataType::Double:
            if (!metric.double_value) return missing();
            { WriteValue out; Store(out, *metric.double_value); return out; }
        case DataType::String: {
            if (!metric.string_value) return missing();
            const Text& text = *metric.string_value;
            if (text.length > static_cast<std::size_t>(codec::kStringChars))
                return Refuse("a string of " + std::to_string(text.length) + " bytes, over " +
                              std::to_string(codec::kStringChars));
            if (text.kept.find('\0') != std::string::npos) return Refuse("a string with a NUL byte");
            WriteValue out;
            std::memcpy(out.bytes.data(), text.kept.data(), text.kept.size());
            out.ok = true;
            return out;
        }
        default: {
            if (!metric.bytes_value) return missing();
            const Text& bytes = *metric.bytes_value;
            const auto size = static_cast<std::size_t>(codec::ValueBytes(record));
            if (bytes.length != size)
                return Refuse(std::to_string(bytes.length) + " bytes, the variable holds " + std::to_string(size));
            WriteValue out;
            std::memcpy(out.bytes.data(), bytes.kept.data(), size);
            out.ok = true;
            return out;
        }
    }
}

}  // namespace tolsa::sparkplug
