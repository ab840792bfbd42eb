#pragma once
// The few things the library needs from the operating system. One source
// file per platform implements them; nothing above this header knows which.

#include <cstdint>
#include <cstdio>

namespace tolsa {

struct Store;

namespace platform {

// A mapped view of the named shared area and its real size in bytes, which
// may differ from the size asked for when the area already existed.
struct MappedArea {
    void* base = nullptr;
    uint64_t size = 0;
};

// Creates or opens the named area (zero-filled when new) and maps all of it.
// The view and the platform's handles stay for the life of the process.
// A null base on failure; a size of 0 always fails.
MappedArea OpenSharedArea(const char* name, uint32_t size);

// An area that another process created, attached to by a tool that only
// inspects it: nothing is created, resized or reset. While attached the
// process counts as a holder, so the area is not reset under it.
struct AttachedView {
    MappedArea area;                // null base when not attached
    const char* problem = nullptr;  // why not, when the area exists but could not be attached
    intptr_t handle = -1;           // the platform's descriptor or mapping handle
};

// A null base and no problem when no area of that name exists, or (Linux)
// when every process that held it has left.
AttachedView AttachExistingArea(const char* name);
// Whether a process other than this one still holds the attached area.
bool OthersHoldArea(const AttachedView& view, const char* name);
// Unmaps the view and lets the area go.
void DetachArea(AttachedView& view);

// The log, created or truncated, not inherited by child processes, and never
// written through a symbolic link. Null on failure.
std::FILE* OpenLogFile(const char* path);

// A definition file for reading in binary mode, not inherited by child
// processes. Null when it cannot be opened or is not a regular file (a FIFO
// would block the loading process).
std::FILE* OpenDefinitionFile(const char* path);

// What an exported call works on while nothing is published: the platform
// either retries start-up here or leaves that to its load notifications.
const Store* StoreForUnpublishedCall();

}  // namespace platform
}  // namespace tolsa
