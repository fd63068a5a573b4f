// Load and unload of smsutil.dll: the module's dialogs, strings and bitmaps
// join the framework's resource search while it is loaded.
#include "afxwin.h"

namespace {
AFX_EXTENSION_MODULE g_extensionModule = {};
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        ::DisableThreadLibraryCalls(instance);
        if (!AfxInitExtensionModule(g_extensionModule, instance)) return FALSE;
        new CDynLinkLibrary(g_extensionModule);
    } else if (reason == DLL_PROCESS_DETACH) {
        // Only the resource chain, which is this process's own memory. The
        // plugin's teardown happened in ExitPlugin; nothing here may wait for
        // another thread or call into another module under the loader lock.
        AfxTermExtensionModule(g_extensionModule);
    }
    return TRUE;
}
