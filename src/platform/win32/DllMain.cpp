// Start-up from the DLL's load notifications: at process attach, and again on
// every thread attach, thread detach and process detach while nothing is
// published. Thread notifications are wanted, so they stay enabled.

#include <windows.h>

#include "store/Startup.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
        case DLL_THREAD_ATTACH:
        case DLL_THREAD_DETACH:
        case DLL_PROCESS_DETACH:
            if (tolsa::publishedStore.load(std::memory_order_acquire) == nullptr) tolsa::LoadVariableDefinitions();
            break;
        default:
            break;
    }
    return TRUE;
}
