#pragma once
// Which rows of a watch refresh changed since the one before: a record
// whose name, type or shown value differs from the record of the same index
// in `before`. A record that was not there before counts as changed, unless
// `before` is empty (the first refresh marks nothing).

#include <vector>

#include "Record.h"

namespace tolsa::tool {

// Records, values and patterns are the codec's, shared with every front end.
using namespace codec;

std::vector<bool> Changes(const std::vector<Record>& before, const std::vector<Record>& now);

}  // namespace tolsa::tool
