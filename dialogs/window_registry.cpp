#include "window_registry.h"

#include "registered_window.h"

#include <new>
#include <vector>

namespace {
CMapStringToPtr* g_registry = nullptr;
}

bool InitWindowRegistry()
{
    if (g_registry) return true;
    g_registry = new (std::nothrow) CMapStringToPtr(10);
    return g_registry != nullptr;
}

CWnd* CreateRegisteredWindow(CRuntimeClass* runtimeClass, const char* key)
{
    if (!g_registry || !key || !*key || !runtimeClass) return nullptr;
    if (!runtimeClass->IsDerivedFrom(RUNTIME_CLASS(CWnd))) return nullptr;
    void* present = nullptr;
    if (g_registry->Lookup(key, present)) return nullptr;
    CWnd* window = static_cast<CWnd*>(runtimeClass->CreateObject());
    if (!window) return nullptr;
    g_registry->SetAt(key, window);
    return window;
}

CWnd* FindRegisteredWindow(const char* key)
{
    void* window = nullptr;
    if (!g_registry || !key || !*key || !g_registry->Lookup(key, window)) return nullptr;
    return static_cast<CWnd*>(window);
}

bool RemoveRegisteredWindow(const char* key)
{
    void* window = nullptr;
    if (!g_registry || !key || !g_registry->Lookup(key, window)) return false;
    g_registry->RemoveKey(key);
    delete static_cast<CWnd*>(window);
    return true;
}

void DestroyRegisteredWindows()
{
    if (!g_registry) return;
    // Destroying one window may remove its own entry, or another's, so walk
    // over a copy of the keys and look each up again.
    std::vector<CString> keys;
    CString key;
    void* window = nullptr;
    for (POSITION position = g_registry->GetStartPosition(); position;) {
        g_registry->GetNextAssoc(position, key, window);
        keys.push_back(key);
    }
    for (const CString& each : keys) {
        if (!g_registry->Lookup(each, window) || !window) continue;
        CWnd* wnd = static_cast<CWnd*>(window);
        if (wnd->m_hWnd) wnd->DestroyWindow();
    }
    g_registry->RemoveAll();
}

void FreeWindowRegistry()
{
    DestroyRegisteredWindows();
    delete g_registry;
    g_registry = nullptr;
}

void CRegisteredWindow::Unregister()
{
    // The key is a member of the object that the removal deletes.
    const CString key = m_strRegKey;
    RemoveRegisteredWindow(key);
}
