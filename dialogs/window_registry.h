// The module's one map from a text key to an open dialog: one dialog per key.
// Keys: "smsutil_order", "r" + peer number (view), "c" + contact number (send).
#pragma once
#include "afxwin.h"

bool InitWindowRegistry();
// Null for an empty or present key, a class not derived from CWnd, or an
// object that cannot be made. The window itself is created by the caller.
CWnd* CreateRegisteredWindow(CRuntimeClass* runtimeClass, const char* key);
CWnd* FindRegisteredWindow(const char* key);
// Removes the entry and deletes its object; false for an absent key.
bool RemoveRegisteredWindow(const char* key);
// Destroys every entry's window, then empties the map; objects that delete
// themselves with their windows do so on their own.
void DestroyRegisteredWindows();
void FreeWindowRegistry();
