#include "store/Log.h"

#include <cinttypes>
#include <cstring>

#include "platform/Platform.h"

namespace tolsa {

// By hand rather than with snprintf: start-up formats two numbers per
// declaration, and the format parser cost more than the digits.
Decimal::Decimal(int32_t value) {
    char digits[10];
    std::size_t count = 0;
    // In 64 bits, so that the most negative value negates.
    auto magnitude = static_cast<uint64_t>(value < 0 ? -static_cast<int64_t>(value) : value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    length_ = 0;
    if (value < 0) text_[length_++] = '-';
    while (count != 0) text_[length_++] = digits[--count];
    text_[length_] = '\0';
}

Address::Address(const void* address) {
    std::snprintf(text_, sizeof text_, "%016" PRIX64, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(address)));
}

void Log::Reopen(const char* path) {
    std::lock_guard lock(mutex_);
    if (stream_ != nullptr) std::fclose(stream_);
    stream_ = platform::OpenLogFile(path);
}

void Log::Adopt(std::FILE* stream) {
    std::lock_guard lock(mutex_);
    if (stream_ != nullptr) std::fclose(stream_);
    stream_ = stream;
}

bool Log::IsOpen() const {
    std::lock_guard lock(mutex_);
    return stream_ != nullptr;
}

void Log::Line(std::initializer_list<std::string_view> parts) {
    std::lock_guard lock(mutex_);
    if (stream_ == nullptr) return;
    // Joined first, so that a line is one write into the stream, not one per part.
    char joined[512];
    std::size_t length = 0;
    for (std::string_view part : parts) {
        if (part.size() > sizeof joined - length) {  // too long to join: part by part
            std::fwrite(joined, 1, length, stream_);
            length = 0;
            if (part.size() > sizeof joined) {
                std::fwrite(part.data(), 1, part.size(), stream_);
                continue;
            }
        }
        std::memcpy(joined + length, part.data(), part.size());
        length += part.size();
    }
    std::fwrite(joined, 1, length, stream_);
    std::fflush(stream_);
}

Log& ProcessLog() {
    static Log log;
    return log;
}

}  // namespace tolsa
