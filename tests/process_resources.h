// What a process holds, counted in ways that work under Wine, whose
// GetGuiResources always answers 0: leak tests compare these before and after.
#pragma once
#include <windows.h>

#include <malloc.h>

// Live GDI objects of the process, stock objects included. GDI accepts a
// handle whose high word is 0 for any generation of the slot in its low word.
inline int CountGdiObjects()
{
    int count = 0;
    for (ULONG_PTR slot = 1; slot < 0x10000; ++slot)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(slot))) ++count;
    return count;
}

// GDI objects that `rounds` more runs of `step` leave behind, counted after a
// first run has made what the process keeps for good.
template <typename Step> int GdiObjectsLeftBy(Step step, int rounds = 100)
{
    step();
    const int before = CountGdiObjects();
    for (int i = 0; i < rounds; ++i) step();
    return CountGdiObjects() - before;
}

// Windows of the calling thread, with all their descendants.
inline int CountThreadWindows()
{
    struct Counter {
        static BOOL CALLBACK Child(HWND, LPARAM count)
        {
            ++*reinterpret_cast<int*>(count);
            return TRUE;
        }
        static BOOL CALLBACK TopLevel(HWND window, LPARAM count)
        {
            ++*reinterpret_cast<int*>(count);
            EnumChildWindows(window, &Child, count);
            return TRUE;
        }
    };
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), &Counter::TopLevel, reinterpret_cast<LPARAM>(&count));
    return count;
}

// Bytes in use on the C runtime's heap, where operator new takes its blocks.
inline size_t HeapBytesInUse()
{
    size_t total = 0;
    _HEAPINFO entry = {};
    while (_heapwalk(&entry) == _HEAPOK)
        if (entry._useflag == _USEDENTRY) total += entry._size;
    return total;
}
