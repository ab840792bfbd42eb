#pragma once
// Variables as Sparkplug metrics: the datatype each type letter maps to, a
// record's value as a metric value, and a command's metric as the bytes to
// write into a variable (or the reason it is refused).

#include <array>
#include <string>

#include "Payload.h"
#include "Record.h"

namespace tolsa::sparkplug {

// L Int32, D Double, $ String, B/H/O UInt8, M/W UInt16, any other letter Bytes.
DataType DataTypeOf(char letter);
const char* DataTypeName(DataType type);

// The value of `record` as its metric carries it. A String or Bytes value
// points into `record`, which must outlive it.
Value ValueOf(const codec::Record& record);

struct WriteValue {
    bool ok = false;
    std::string error;  // why not, when !ok
    std::array<unsigned char, codec::kValueBytes> bytes{};
};

// The bytes that `metric` asks to write into `record`'s variable. The metric
// must carry the variable's datatype (when it names one) and its value in
// the field of that datatype, within the range of the type letter: a String
// of at most 63 bytes without NUL, Bytes of exactly the variable's size.
WriteValue WriteValueOf(const codec::Record& record, const InMetric& metric);

}  // namespace tolsa::sparkplug
