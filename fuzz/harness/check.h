// A harness's oracle: what went wrong, then an abort that the engine and the
// replay both report as a failure.
#pragma once
#include <cstdio>
#include <cstdlib>

inline void Check(bool condition, const char* what)
{
    if (condition) return;
    fprintf(stderr, "fuzz: %s\n", what);
    abort();
}
