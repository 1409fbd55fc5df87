#include <windows.h>

#include "plugin/framework.h"

// The runtime constructs the module object before it calls DllMain; DllMain starts it.
int StartModuleApp(CWinApp&) {
    return 1;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        // The plug-in keeps no per-thread state.
        DisableThreadLibraryCalls(instance);
        CWinApp* app = CWinApp::GetModuleApp();
        if (app != nullptr && app->InitInstance() == 0) {
            return FALSE;
        }
    }
    return TRUE;
}
