// The library's entries for the benchmarks that put records without the
// store, beside it.
#pragma once
#include "store/db_entry.h"

typedef int (*DbCreate)(DB**, DB_ENV*, u_int32_t);

inline DBT Entry(const void* data, size_t size) { return DbEntry(data, size); }
