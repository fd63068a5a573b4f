// Load and unload of smsutil.dll: the module's dialogs, strings and bitmaps
// join the framework's resource search while it is loaded.
#include "afxwin.h"
#include "sms_service_wnd.h"

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
        // At process exit the signalling module's thread is already gone,
        // perhaps holding its lock: the service adapter is forgotten, not
        // released. Static destructors run after this.
        if (reserved) g_wndService.m_pAdapter = nullptr;
        AfxTermExtensionModule(g_extensionModule);
    }
    return TRUE;
}
