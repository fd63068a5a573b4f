// What the string class needs of the framework's window header: where its
// string resources live.
#pragma once
#include <windows.h>

HINSTANCE AfxFindStringResourceHandle(UINT id);
