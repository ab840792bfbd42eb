// Attaching to an existing paging-file mapping, for tools that only inspect
// it. The view keeps the mapping alive, as any other process's does; whether
// another process still holds it is told by the mapping's handle count.

#include <windows.h>
#include <winternl.h>

#include "platform/Platform.h"

namespace tolsa::platform {

namespace {

// NtQueryObject, looked up at run time so that the program imports no more
// than kernel32; null where ntdll lacks it.
using QueryObject = NTSTATUS(NTAPI*)(HANDLE, OBJECT_INFORMATION_CLASS, PVOID, ULONG, PULONG);

QueryObject NtQueryObjectFunction() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll == nullptr) return nullptr;
    return reinterpret_cast<QueryObject>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryObject")));
}

}  // namespace

AttachedView AttachExistingArea(const char* name) {
    AttachedView view;
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, name);
    if (mapping == nullptr) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) view.problem = "it cannot be opened for reading and writing";
        return view;
    }
    void* base = MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0);
    MEMORY_BASIC_INFORMATION region{};
    if (base == nullptr || VirtualQuery(base, &region, sizeof region) == 0) {
        if (base != nullptr) UnmapViewOfFile(base);
        CloseHandle(mapping);
        view.problem = "it cannot be mapped";
        return view;
    }
    // The size a view tells is the mapping's, rounded up to a page.
    view.area = {base, static_cast<uint64_t>(region.RegionSize)};
    view.handle = reinterpret_cast<intptr_t>(mapping);
    return view;
}

bool OthersHoldArea(const AttachedView& view, const char*) {
    static const QueryObject query = NtQueryObjectFunction();
    if (query == nullptr || view.handle == -1) return true;  // nothing can be told
    PUBLIC_OBJECT_BASIC_INFORMATION information{};
    if (query(reinterpret_cast<HANDLE>(view.handle), ObjectBasicInformation, &information, sizeof information,
              nullptr) < 0)
        return true;
    // Every process that started with the library keeps its handle open; this one holds one.
    return information.HandleCount > 1;
}

void DetachArea(AttachedView& view) {
    if (view.area.base != nullptr) UnmapViewOfFile(view.area.base);
    if (view.handle != -1) CloseHandle(reinterpret_cast<HANDLE>(view.handle));
    view = AttachedView{};
}

}  // namespace tolsa::platform
