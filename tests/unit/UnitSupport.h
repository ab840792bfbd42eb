#pragma once
// Helpers shared by the unit tests: an index allocator that fails on demand
// and tracks every block, and a private temporary directory.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "index/IndexAllocator.h"

namespace tolsa::test {

// The log is a text-mode file on Windows.
#ifdef _WIN32
inline constexpr const char* kLogLineEnd = "\r\n";
#else
inline constexpr const char* kLogLineEnd = "\n";
#endif

// Replaces each "\n" of `text` by the log's line end.
inline std::string AsLogText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += kLogLineEnd;
        } else {
            out += c;
        }
    }
    return out;
}

// An IndexAllocator over malloc that records every request, fails those the
// test chooses, and knows which blocks are live, so that a test can prove that
// nothing leaked and nothing was released twice. Single-threaded, one at a time.
class TestAllocator {
public:
    enum class Call { kAllocate, kResize };
    struct Request {
        Call call;
        std::size_t bytes;
        bool failed;
    };
    // Decides whether request number `ordinal` (counted from 1 over allocate
    // and resize together) of `bytes` fails.
    using FailRule = std::function<bool(Call call, std::size_t ordinal, std::size_t bytes)>;

    TestAllocator() {
        EXPECT_EQ(current_, nullptr) << "one TestAllocator at a time";
        current_ = this;
    }
    ~TestAllocator() {
        for (void* block : live_) std::free(block);
        current_ = nullptr;
    }
    TestAllocator(const TestAllocator&) = delete;
    TestAllocator& operator=(const TestAllocator&) = delete;

    const IndexAllocator& Interface() const { return interface_; }
    void FailWhen(FailRule rule) { rule_ = std::move(rule); }
    void FailNothing() { rule_ = nullptr; }
    // Fails the n-th allocate call from now on (1 = the next one).
    void FailAllocationNumber(std::size_t n) {
        const std::size_t target = allocateCalls_ + n;
        FailWhen([this, target](Call call, std::size_t, std::size_t) {
            return call == Call::kAllocate && allocateCalls_ == target;
        });
    }

    std::size_t LiveBlocks() const { return live_.size(); }
    const std::vector<Request>& Requests() const { return requests_; }
    void ClearRequests() { requests_.clear(); }
    std::size_t BadReleases() const { return badReleases_; }
    bool Owns(const void* block) const { return live_.count(const_cast<void*>(block)) != 0; }

private:
    bool ShouldFail(Call call, std::size_t bytes) {
        const bool failed = rule_ && rule_(call, requests_.size() + 1, bytes);
        requests_.push_back({call, bytes, failed});
        return failed;
    }
    static void* Allocate(std::size_t bytes) {
        TestAllocator& self = *current_;
        ++self.allocateCalls_;
        if (self.ShouldFail(Call::kAllocate, bytes)) return nullptr;
        void* block = std::malloc(bytes == 0 ? 1 : bytes);
        if (block != nullptr) self.live_.insert(block);
        return block;
    }
    static void* Resize(void* block, std::size_t bytes) {
        TestAllocator& self = *current_;
        if (self.live_.count(block) == 0) ++self.badReleases_;
        if (self.ShouldFail(Call::kResize, bytes)) return nullptr;
        void* moved = std::realloc(block, bytes == 0 ? 1 : bytes);
        if (moved != nullptr) {
            self.live_.erase(block);
            self.live_.insert(moved);
        }
        return moved;
    }
    static void Release(void* block) {
        if (block == nullptr) return;
        TestAllocator& self = *current_;
        if (self.live_.erase(block) == 0) {
            ++self.badReleases_;
            return;
        }
        std::free(block);
    }

    static inline TestAllocator* current_ = nullptr;
    IndexAllocator interface_{Allocate, Resize, Release};
    FailRule rule_;
    std::set<void*> live_;
    std::vector<Request> requests_;
    std::size_t allocateCalls_ = 0;
    std::size_t badReleases_ = 0;
};

// A fresh directory under the system's temporary directory, removed with
// everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        namespace fs = std::filesystem;
#ifdef _WIN32
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const fs::path candidate = fs::temp_directory_path() / ("tolsa-unit-" + std::to_string(random()));
            std::error_code error;
            if (fs::create_directory(candidate, error)) path_ = candidate;
        }
#else
        std::string pattern = (fs::temp_directory_path() / "tolsa-unit-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
#endif
        EXPECT_FALSE(path_.empty()) << "no temporary directory";
    }
    ~TempDir() {
        std::error_code error;
        if (!path_.empty()) std::filesystem::remove_all(path_, error);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory with a trailing separator, as start-up joins file names.
    std::string Prefix() const { return path_.string() + "/"; }
    std::string PathOf(const std::string& name) const { return Prefix() + name; }

    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(PathOf(name), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(out.good()) << "cannot write " << name;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(PathOf(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void Remove(const std::string& name) const { std::filesystem::remove(PathOf(name)); }

private:
    std::filesystem::path path_;
};

}  // namespace tolsa::test
