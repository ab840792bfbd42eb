// Attaching to an area that a starter made (PosixPlatform.cpp), for tools
// that only inspect it. Each step that a starter takes under the guard's
// exclusive lock is taken under it here too, so a starter never resets the
// area while a tool decides whether to join it, and the reverse.

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/Platform.h"

namespace tolsa::platform {

namespace {

// "/name" + suffix, as the starter names its objects.
struct ObjectPath {
    char text[256] = {};
    ObjectPath(const char* name, const char* suffix) {
        const int length = std::snprintf(text, sizeof text, "/%s%s", name, suffix);
        if (length < 0 || length >= static_cast<int>(sizeof text)) text[0] = '\0';
    }
};

// The guard's exclusive lock, opened without creating the guard. A starter
// holds it only while it opens the area, so the wait is bounded: a guard
// still held after two seconds means a stuck starter, not a busy one.
class Guard {
public:
    explicit Guard(const char* name) : fd_(shm_open(ObjectPath(name, ".guard").text, O_RDONLY | O_CLOEXEC, 0)) {
        if (fd_ < 0) {
            missing_ = errno == ENOENT;
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!(locked_ = flock(fd_, LOCK_EX | LOCK_NB) == 0)) {
            if (errno != EWOULDBLOCK && errno != EINTR) return;
            if (std::chrono::steady_clock::now() >= deadline) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    ~Guard() {
        if (fd_ >= 0) close(fd_);  // closing drops the lock
    }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
    bool Missing() const { return missing_; }
    bool Locked() const { return locked_; }

private:
    int fd_;
    bool missing_ = false;
    bool locked_ = false;
};

// True when no process but the caller holds the area. The caller's own
// shared lock would conflict with the exclusive try (flock locks belong to
// the open file description), so it is dropped for the try and taken again;
// the guard, held by the caller, keeps every starter out meanwhile.
bool Alone(int fd) {
    flock(fd, LOCK_UN);
    const bool alone = flock(fd, LOCK_EX | LOCK_NB) == 0;
    flock(fd, LOCK_SH | LOCK_NB);
    return alone;
}

}  // namespace

AttachedView AttachExistingArea(const char* name) {
    AttachedView view;
    const Guard guard(name);
    if (guard.Missing()) return view;  // no starter ever ran: there is no area
    if (!guard.Locked()) {
        view.problem = "its guard cannot be opened or locked (a start-up that does not finish?)";
        return view;
    }
    const int fd = shm_open(ObjectPath(name, "").text, O_RDWR | O_CLOEXEC, 0);
    if (fd < 0) {
        if (errno != ENOENT) view.problem = "it cannot be opened for reading and writing";
        return view;
    }
    struct stat status {};
    // An object every holder has left is stale: the next starter resets it,
    // so it is neither read nor reset here.
    if (Alone(fd) || flock(fd, LOCK_SH | LOCK_NB) != 0 || fstat(fd, &status) != 0 || status.st_size <= 0) {
        close(fd);
        return view;
    }
    void* base = mmap(nullptr, static_cast<size_t>(status.st_size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (base == MAP_FAILED) {
        close(fd);
        view.problem = "it cannot be mapped";
        return view;
    }
    view.area = {base, static_cast<uint64_t>(status.st_size)};
    view.handle = fd;  // its shared lock marks this process as a holder
    return view;
}

bool OthersHoldArea(const AttachedView& view, const char* name) {
    const int fd = static_cast<int>(view.handle);
    struct stat status {};
    if (fd < 0 || fstat(fd, &status) != 0 || status.st_nlink == 0) return false;  // removed by hand
    const Guard guard(name);
    // Without the guard nothing can be told now; a later look will.
    if (!guard.Locked()) return true;
    return !Alone(fd);
}

void DetachArea(AttachedView& view) {
    if (view.area.base != nullptr) munmap(view.area.base, static_cast<size_t>(view.area.size));
    if (view.handle >= 0) close(static_cast<int>(view.handle));
    view = AttachedView{};
}

}  // namespace tolsa::platform
