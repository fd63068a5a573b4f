// The library's entries for the benchmarks that put records without the
// store, beside it.
#pragma once
#include <db.h>

#include <cstring>

typedef int (*DbCreate)(DB**, DB_ENV*, u_int32_t);

inline DBT Entry(const void* data, size_t size)
{
    DBT entry;
    memset(&entry, 0, sizeof entry);
    entry.data = const_cast<void*>(data);
    entry.size = static_cast<u_int32_t>(size);
    return entry;
}
