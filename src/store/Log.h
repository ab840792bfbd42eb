#pragma once
// The diagnostic log of the process: one line per event, each flushed at once.
// Every write is skipped while no stream is open.

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <mutex>
#include <string_view>

namespace tolsa {

// A signed 32-bit number in decimal, as the log prints counts and indices.
class Decimal {
public:
    explicit Decimal(int32_t value);
    operator std::string_view() const { return {text_, length_}; }

private:
    char text_[12];
    std::size_t length_;
};

// An address as 16 upper-case hexadecimal digits without prefix.
class Address {
public:
    explicit Address(const void* address);
    operator std::string_view() const { return {text_, 16}; }

private:
    char text_[17];
};

class Log {
public:
    // Closes the stream of an earlier attempt, then opens `path` afresh,
    // truncating it. Under the lock, so that no line of another thread lands
    // in the new file at the old stream's offset.
    void Reopen(const char* path);
    void Adopt(std::FILE* stream);
    bool IsOpen() const;
    // Writes the parts as one line (the caller ends it with "\n") and flushes.
    void Line(std::initializer_list<std::string_view> parts);
    // The lock every method takes, held across fork (Startup.h).
    void Lock() { mutex_.lock(); }
    void Unlock() { mutex_.unlock(); }

private:
    mutable std::mutex mutex_;
    std::FILE* stream_ = nullptr;
};

// The log that start-up opens and every exported function writes to.
Log& ProcessLog();

}  // namespace tolsa
