#include "IsoTime.h"

#include <chrono>
#include <cstdio>

namespace tolsa::tool {

namespace {

using namespace std::chrono;

constexpr int64_t kMicrosPerSecond = 1000000;
constexpr int64_t kSecondsPerDay = 86400;

// Reads exactly `count` digits at `at`.
bool Digits(std::string_view text, std::size_t& at, int count, int& value) {
    value = 0;
    for (int i = 0; i < count; ++i, ++at) {
        if (at >= text.size() || text[at] < '0' || text[at] > '9') return false;
        value = value * 10 + (text[at] - '0');
    }
    return true;
}

bool Expect(std::string_view text, std::size_t& at, char c) {
    if (at >= text.size() || text[at] != c) return false;
    ++at;
    return true;
}

}  // namespace

std::string FormatIsoTime(int64_t microseconds) {
    int64_t seconds = microseconds / kMicrosPerSecond, fraction = microseconds % kMicrosPerSecond;
    if (fraction < 0) {
        fraction += kMicrosPerSecond;
        --seconds;
    }
    int64_t days = seconds / kSecondsPerDay, inDay = seconds % kSecondsPerDay;
    if (inDay < 0) {
        inDay += kSecondsPerDay;
        --days;
    }
    const year_month_day date{sys_days{std::chrono::days{days}}};
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%06dZ", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(inDay / 3600), static_cast<int>(inDay / 60 % 60), static_cast<int>(inDay % 60),
                  static_cast<int>(fraction));
    return text;
}

std::optional<int64_t> ParseIsoTime(std::string_view text) {
    std::size_t at = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!Digits(text, at, 4, year) || !Expect(text, at, '-') || !Digits(text, at, 2, month) ||
        !Expect(text, at, '-') || !Digits(text, at, 2, day))
        return std::nullopt;
    if (at >= text.size() || (text[at] != 'T' && text[at] != 't' && text[at] != ' ')) return std::nullopt;
    ++at;
    if (!Digits(text, at, 2, hour) || !Expect(text, at, ':') || !Digits(text, at, 2, minute) ||
        !Expect(text, at, ':') || !Digits(text, at, 2, second))
        return std::nullopt;
    int64_t micros = 0;
    if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
        ++at;
        int digits = 0;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits)
            if (digits < 6) micros = micros * 10 + (text[at] - '0');
        if (digits == 0 || digits > 9) return std::nullopt;
        for (int i = digits; i < 6; ++i) micros *= 10;
    }
    int offsetMinutes = 0;
    if (at < text.size() && (text[at] == 'Z' || text[at] == 'z')) {
        ++at;
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        const int sign = text[at++] == '-' ? -1 : 1;
        int offsetHours = 0, offsetMinute = 0;
        if (!Digits(text, at, 2, offsetHours) || !Expect(text, at, ':') || !Digits(text, at, 2, offsetMinute) ||
            offsetHours > 23 || offsetMinute > 59)
            return std::nullopt;
        offsetMinutes = sign * (offsetHours * 60 + offsetMinute);
    } else {
        return std::nullopt;  // a time without its zone is not taken as UTC silently
    }
    if (at != text.size()) return std::nullopt;
    const year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                              std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok() || hour > 23 || minute > 59 || second > 60) return std::nullopt;
    const int64_t days = sys_days{date}.time_since_epoch().count();
    const int64_t seconds = days * kSecondsPerDay + hour * 3600 + minute * 60 + second - offsetMinutes * 60;
    return seconds * kMicrosPerSecond + micros;
}

int64_t NowMicroseconds() {
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace tolsa::tool
