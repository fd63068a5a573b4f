// What the string class needs of the framework's window header: where its
// string resources live, and how a string is read from them.
#pragma once
#include <windows.h>

HINSTANCE AfxFindStringResourceHandle(UINT id);
int AfxLoadString(HINSTANCE module, UINT id, LPSTR buffer, int size);
