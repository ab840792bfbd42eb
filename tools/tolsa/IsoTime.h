#pragma once
// Times in CSV files: ISO 8601 in UTC with microseconds, as record writes
// them (2026-12-10T14:00:00.123456Z), as microseconds since 1970.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolsa::tool {

std::string FormatIsoTime(int64_t microseconds);

// Also takes what other programs write: no fraction or up to 9 digits of one
// (cut to microseconds), 'Z', '+HH:MM' or '-HH:MM', and ' ' for 'T'.
std::optional<int64_t> ParseIsoTime(std::string_view text);

// Now, in microseconds since 1970 (UTC).
int64_t NowMicroseconds();

}  // namespace tolsa::tool
