// POSIX shared memory with the lifetime of a Windows paging-file mapping: the
// area lives while any process maps it and starts zeroed once none does.
// Every process holds a shared flock on the area for its whole life; whoever
// finds no other holder, under an exclusive lock on a guard object, resets it.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/Platform.h"
#include "store/Startup.h"

namespace tolsa::platform {

namespace {

constexpr mode_t kOwnerOnly = 0600;

// "/name" + suffix; an empty result when it would not fit, which no open accepts.
struct ObjectName {
    char text[256] = {};
    explicit ObjectName(const char* name, const char* suffix = "") {
        const int length = std::snprintf(text, sizeof text, "/%s%s", name, suffix);
        if (length < 0 || length >= static_cast<int>(sizeof text)) text[0] = '\0';
    }
};

// Holds the guard's exclusive lock for one open of the area.
class GuardLock {
public:
    explicit GuardLock(const ObjectName& name) : fd_(shm_open(name.text, O_RDWR | O_CREAT | O_CLOEXEC, kOwnerOnly)) {
        if (fd_ >= 0 && flock(fd_, LOCK_EX) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~GuardLock() {
        if (fd_ >= 0) close(fd_);  // closing drops the lock
    }
    bool Held() const { return fd_ >= 0; }

private:
    int fd_;
};

// Takes the shared holder's lock on `fd`, resetting the object to `size`
// zero bytes first when no other process holds it.
bool JoinOrReset(int fd, uint32_t size) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        if (ftruncate(fd, 0) != 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) return false;
        return flock(fd, LOCK_SH) == 0;
    }
    return flock(fd, LOCK_SH) == 0;
}

}  // namespace

MappedArea OpenSharedArea(const char* name, uint32_t size) {
    if (size == 0) return {};
    const GuardLock guard(ObjectName(name, ".guard"));
    if (!guard.Held()) return {};

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
    // The descriptor stays open: its shared lock marks this process as a holder.
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

// There is no load notification per thread here: every call retries instead.
const Store* StoreForUnpublishedCall() { return RetryStartup(); }

}  // namespace tolsa::platform
