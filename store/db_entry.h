// A key or data descriptor for the library: zero-filled apart from the
// bytes it points at, so that the library manages the memory of what it
// returns.
#pragma once
#include <db.h>

#include <cstring>

inline DBT DbEntry(const void* data, size_t size)
{
    DBT entry;
    memset(&entry, 0, sizeof entry);
    entry.data = const_cast<void*>(data);
    entry.size = static_cast<u_int32_t>(size);
    return entry;
}
