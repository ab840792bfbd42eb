// Start-up from the DLL's load notifications: at process attach, and again on
// every thread attach and thread detach while nothing is published. Thread
// notifications are wanted, so they stay enabled.
//
// Never at process detach. At process termination (reserved not null) the
// other threads are already gone, one of them perhaps inside start-up or the
// log with its lock held, and a retry would wait for that lock forever. At
// FreeLibrary (reserved null) the library is leaving the process, so nothing
// could use what a retry published; it would only rewrite the log and keep a
// view mapped for nothing.

#include <windows.h>

#include "store/Startup.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
        case DLL_THREAD_ATTACH:
        case DLL_THREAD_DETACH:
            if (tolsa::publishedStore.load(std::memory_order_acquire) == nullptr) tolsa::LoadVariableDefinitions();
            break;
        default:
            break;
    }
    return TRUE;
}
