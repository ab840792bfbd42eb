#include "store/Log.h"

#include <cinttypes>

#include "platform/Platform.h"

namespace tolsa {

Decimal::Decimal(int32_t value) {
    const int written = std::snprintf(text_, sizeof text_, "%" PRId32, value);
    length_ = written > 0 ? static_cast<std::size_t>(written) : 0;
}

Address::Address(const void* address) {
    std::snprintf(text_, sizeof text_, "%016" PRIX64, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(address)));
}

void Log::Reopen(const char* path) { Adopt(platform::OpenLogFile(path)); }

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
    for (std::string_view part : parts) std::fwrite(part.data(), 1, part.size(), stream_);
    std::fflush(stream_);
}

Log& ProcessLog() {
    static Log log;
    return log;
}

}  // namespace tolsa
