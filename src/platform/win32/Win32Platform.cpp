// A named mapping backed by the paging file: it lives while any process has it
// open, and the system zero-fills it when it is created.

#include <windows.h>

#include <share.h>

#include "platform/Platform.h"

namespace tolsa::platform {

MappedArea OpenSharedArea(const char* name, uint32_t size) {
    if (size == 0) return {};
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
    if (mapping == nullptr || mapping == INVALID_HANDLE_VALUE) return {};
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (view == nullptr) {
        CloseHandle(mapping);
        return {};
    }
    // An existing mapping keeps its own size; the view tells it, page-rounded.
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(view, &region, sizeof region) == 0) {
        UnmapViewOfFile(view);
        CloseHandle(mapping);
        return {};
    }
    // The handle and the view stay for the life of the process.
    return {view, static_cast<uint64_t>(region.RegionSize)};
}

std::FILE* OpenLogFile(const char* path) {
    // Text mode: lines end in CR LF. 'N' keeps the handle out of child processes.
    return _fsopen(path, "wN", _SH_DENYNO);
}

// Binary, so that CR LF is folded by the reader alone.
std::FILE* OpenDefinitionFile(const char* path) { return _fsopen(path, "rbN", _SH_DENYNO); }

// Text mode ends a file at the first Ctrl-Z; files from old editors end with
// one, sometimes with junk after it.
int DefinitionFileEndByte() { return 0x1A; }

}  // namespace tolsa::platform
