// POSIX shared memory with the lifetime of a Windows paging-file mapping: the
// area lives while any process maps it and starts zeroed once none does.
// Every process holds a shared flock on the area; whoever finds no other
// holder, under an exclusive lock on a guard object, resets it.
//
// The flock belongs to the open file description, which the mapping keeps
// alive: a process holds the area until its mapping goes, even after it has
// closed every descriptor (a daemon closing descriptors from 3 up, closefrom).

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/Platform.h"

namespace tolsa::platform {

namespace {

constexpr mode_t kOwnerOnly = 0600;

// A process stopped inside start-up (SIGSTOP, a debugger) holds the guard
// for as long as it is stopped; the others give up after this long.
constexpr auto kGuardWait = std::chrono::seconds(5);
constexpr char kGuardBusy[] =
    "gave up after 5 s waiting for another process's start-up to release the shared area's guard; "
    "the next attempt tries again";

// "/name" + suffix; an empty result when it would not fit, which no open accepts.
struct ObjectName {
    char text[256] = {};
    explicit ObjectName(const char* name, const char* suffix = "") {
        const int length = std::snprintf(text, sizeof text, "/%s%s", name, suffix);
        if (length < 0 || length >= static_cast<int>(sizeof text)) text[0] = '\0';
    }
};

// Holds the guard's exclusive lock for one open of the area, waited for no
// longer than kGuardWait.
class GuardLock {
public:
    explicit GuardLock(const ObjectName& name) : fd_(shm_open(name.text, O_RDWR | O_CREAT | O_CLOEXEC, kOwnerOnly)) {
        if (fd_ >= 0 && !Lock()) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~GuardLock() {
        if (fd_ >= 0) close(fd_);  // closing drops the lock
    }
    bool Held() const { return fd_ >= 0; }
    bool TimedOut() const { return timedOut_; }

private:
    bool Lock() {
        const auto deadline = std::chrono::steady_clock::now() + kGuardWait;
        auto pause = std::chrono::milliseconds(1);
        while (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) return false;
            if (std::chrono::steady_clock::now() >= deadline) {
                timedOut_ = true;
                return false;
            }
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::milliseconds(50));
        }
        return true;
    }

    int fd_;
    bool timedOut_ = false;
};

// Takes the shared holder's lock on `fd`, resetting the object to `size`
// zero bytes first when no other process holds it. Under the guard nobody
// else holds the exclusive lock, so neither request waits.
bool JoinOrReset(int fd, uint32_t size) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        if (ftruncate(fd, 0) != 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) return false;
    }
    return flock(fd, LOCK_SH | LOCK_NB) == 0;
}

}  // namespace

MappedArea OpenSharedArea(const char* name, uint32_t size) {
    if (size == 0) return {};
    const GuardLock guard(ObjectName(name, ".guard"));
    if (!guard.Held()) return {.failure = guard.TimedOut() ? kGuardBusy : nullptr};

    const ObjectName areaName(name);
    const int fd = shm_open(areaName.text, O_RDWR | O_CREAT | O_CLOEXEC, kOwnerOnly);
    if (fd < 0) return {};
    struct stat status {};
    if (!JoinOrReset(fd, size) || fstat(fd, &status) != 0 || status.st_size <= 0) {
        close(fd);
        return {};
    }
    void* view = mmap(nullptr, static_cast<size_t>(status.st_size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) {
        close(fd);
        return {};
    }
    // The descriptor stays open, as the Windows handle does, but the lock
    // lives as long as the mapping whether or not it does.
    return {view, static_cast<uint64_t>(status.st_size)};
}

std::FILE* OpenLogFile(const char* path) {
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    std::FILE* file = fdopen(fd, "w");
    if (file == nullptr) close(fd);
    return file;
}

std::FILE* OpenDefinitionFile(const char* path) {
    // Non-blocking so that a FIFO cannot hold up the loading process.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || fcntl(fd, F_SETFL, 0) != 0) {
        close(fd);
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "r");
    if (file == nullptr) close(fd);
    return file;
}

// Every byte is an ordinary byte here.
int DefinitionFileEndByte() { return -1; }

}  // namespace tolsa::platform
